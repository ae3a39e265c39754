// Key pairs generated on the token, and the token's random numbers.
#include "calls/calls.h"
#include "common/token_shape.h"
#include "module/module.h"
#include "objects/object_templates.h"
#include "token/dal_results.h"

namespace p11::calls {
namespace {

// No mechanism of the token makes, wraps, unwraps or derives other keys.
CK_RV noSuchMechanism(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism) {
  return withSession(h, [&](Module&, Session&) -> CK_RV {
    return mechanism == nullptr ? CKR_ARGUMENTS_BAD : CKR_MECHANISM_INVALID;
  });
}

CK_RV generateOnToken(Module& module, const KeyPairRequest& request, int& slot) {
  TokenLock lock(module.tokenMutex());
  if (const CK_RV rv = module.login.ensureUserOnToken(lock); rv != CKR_OK) return rv;
  if (const CK_RV rv = module.objects.checkWritable(lock); rv != CKR_OK) return rv;
  if (const std::int32_t rv = generateKeyPair(lock, slot); rv != NORV_DAL_OK)
    return keyPairFailure(rv, slot);
  const SlotKey* key = module.objects.slotKey(lock, slot);
  if (key == nullptr) return CKR_DEVICE_ERROR;
  return module.objects.recordKeyPair(lock, module.login,
                                      keyEntryFor(request, slot, key->modulus, true));
}

}  // namespace

CK_RV GenerateKey(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_ATTRIBUTE_PTR, CK_ULONG,
                  CK_OBJECT_HANDLE_PTR) {
  return noSuchMechanism(h, mechanism);
}

CK_RV GenerateKeyPair(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism,
                      CK_ATTRIBUTE_PTR publicTemplate, CK_ULONG publicCount,
                      CK_ATTRIBUTE_PTR privateTemplate, CK_ULONG privateCount,
                      CK_OBJECT_HANDLE_PTR publicKey, CK_OBJECT_HANDLE_PTR privateKey) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (mechanism == nullptr || publicKey == nullptr || privateKey == nullptr ||
        (publicTemplate == nullptr && publicCount != 0) ||
        (privateTemplate == nullptr && privateCount != 0))
      return CKR_ARGUMENTS_BAD;
    if (mechanism->mechanism != CKM_RSA_PKCS_KEY_PAIR_GEN) return CKR_MECHANISM_INVALID;
    if (mechanism->ulParameterLen != 0) return CKR_MECHANISM_PARAM_INVALID;
    if (!session.readWrite()) return CKR_SESSION_READ_ONLY;
    if (!module.login.user()) return CKR_USER_NOT_LOGGED_IN;
    KeyPairRequest request;
    if (const CK_RV rv = keyPairRequestFrom(Template(publicTemplate, publicCount),
                                            Template(privateTemplate, privateCount), request);
        rv != CKR_OK)
      return rv;
    int slot = common::kKeyPairSlots;
    if (const CK_RV rv = generateOnToken(module, request, slot); rv != CKR_OK) return rv;
    *publicKey = publicKeyHandle(slot);
    *privateKey = privateKeyHandle(slot);
    return CKR_OK;
  });
}

CK_RV WrapKey(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE, CK_OBJECT_HANDLE,
              CK_BYTE_PTR, CK_ULONG_PTR) {
  return noSuchMechanism(h, mechanism);
}

CK_RV UnwrapKey(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE, CK_BYTE_PTR,
                CK_ULONG, CK_ATTRIBUTE_PTR, CK_ULONG, CK_OBJECT_HANDLE_PTR) {
  return noSuchMechanism(h, mechanism);
}

CK_RV DeriveKey(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE, CK_ATTRIBUTE_PTR,
                CK_ULONG, CK_OBJECT_HANDLE_PTR) {
  return noSuchMechanism(h, mechanism);
}

// The token's generator takes no seed.
CK_RV SeedRandom(CK_SESSION_HANDLE h, CK_BYTE_PTR seed, CK_ULONG seedLen) {
  return withSession(h, [&](Module&, Session&) -> CK_RV {
    if (seed == nullptr && seedLen != 0) return CKR_ARGUMENTS_BAD;
    return CKR_RANDOM_SEED_NOT_SUPPORTED;
  });
}

CK_RV GenerateRandom(CK_SESSION_HANDLE h, CK_BYTE_PTR out, CK_ULONG len) {
  return withSession(h, [&](Module& module, Session&) -> CK_RV {
    if (len == 0) return CKR_OK;
    if (out == nullptr) return CKR_ARGUMENTS_BAD;
    TokenLock lock(module.tokenMutex());
    return deviceResult(drawRandom(lock, std::span(out, len)));
  });
}

}  // namespace p11::calls

// Message digests, in software.
#include "calls.h"
#include "key_operations.h"

namespace p11::calls {
namespace {

CK_RV finishDigest(Session& session, ByteView lastPart, CK_BYTE_PTR out, CK_ULONG_PTR outLen) {
  std::unique_ptr<p11::Digest>& digest = session.digest;
  bool ready = false;
  const std::size_t size = digest ? digest->hash().size : 0;
  if (const CK_RV rv = outputStep(digest, out, outLen, size, ready); !ready) return rv;
  Bytes value;
  const bool ok = digest->update(lastPart) && digest->finish(value);
  if (ok) {
    std::copy(value.begin(), value.end(), out);
    *outLen = value.size();
  }
  digest.reset();
  return ok ? CKR_OK : CKR_FUNCTION_FAILED;
}

}  // namespace

CK_RV DigestInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    if (session.digest) return CKR_OPERATION_ACTIVE;
    if (mechanism == nullptr) return CKR_ARGUMENTS_BAD;
    const HashInfo* hash = hashByDigest(mechanism->mechanism);
    if (hash == nullptr) return CKR_MECHANISM_INVALID;
    if (mechanism->ulParameterLen != 0) return CKR_MECHANISM_PARAM_INVALID;
    auto digest = std::make_unique<p11::Digest>(*hash);
    if (!digest->ok()) return CKR_FUNCTION_FAILED;
    session.digest = std::move(digest);
    return CKR_OK;
  });
}

CK_RV Digest(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR out,
             CK_ULONG_PTR outLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    if (session.digest && data == nullptr && dataLen != 0) {
      session.digest.reset();
      return CKR_ARGUMENTS_BAD;
    }
    return finishDigest(session, inputOf(data, dataLen), out, outLen);
  });
}

CK_RV DigestUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    if (!session.digest) return CKR_OPERATION_NOT_INITIALIZED;
    const bool bad = data == nullptr && dataLen != 0;
    if (!bad && session.digest->update(inputOf(data, dataLen))) return CKR_OK;
    session.digest.reset();
    return bad ? CKR_ARGUMENTS_BAD : CKR_FUNCTION_FAILED;
  });
}

// Only secret keys can be digested, and the token has none.
CK_RV DigestKey(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE key) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (!session.digest) return CKR_OPERATION_NOT_INITIALIZED;
    if (module.objects.find(key, module.login.user()) == nullptr) return CKR_KEY_HANDLE_INVALID;
    return CKR_KEY_INDIGESTIBLE;
  });
}

CK_RV DigestFinal(CK_SESSION_HANDLE h, CK_BYTE_PTR out, CK_ULONG_PTR outLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    return finishDigest(session, {}, out, outLen);
  });
}

}  // namespace p11::calls

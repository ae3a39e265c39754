// Signatures: made by the token's private-key operation on a block the
// module pads, checked in software with the public key.
#include "calls/calls.h"
#include "common/rsa1024.h"
#include "module/key_operations.h"

namespace p11::calls {
namespace {

CK_RV produceSignature(Module& module, Session& session, ByteView lastPart, CK_BYTE_PTR signature,
                       CK_ULONG_PTR signatureLen) {
  std::unique_ptr<KeyOperation>& op = session.sign;
  bool ready = false;
  if (const CK_RV rv = outputStep(op, signature, signatureLen, common::kModulusBytes, ready);
      !ready)
    return rv;
  common::SecretBytes message;
  Block block{};
  Block result{};
  CK_RV rv = addPart(*op, lastPart);
  if (rv == CKR_OK) rv = finishMessage(*op, message);
  if (rv == CKR_OK) rv = signatureBlock(*op, message.span(), block);
  if (rv == CKR_OK) rv = privateOperation(module, op->slot, block, result);
  if (rv == CKR_OK) {
    std::copy(result.begin(), result.end(), signature);
    *signatureLen = result.size();
  }
  op.reset();
  return rv;
}

CK_RV checkSignature(Session& session, ByteView lastPart, ByteView signature) {
  std::unique_ptr<KeyOperation>& op = session.verify;
  if (!op) return CKR_OPERATION_NOT_INITIALIZED;
  common::SecretBytes message;
  CK_RV rv = addPart(*op, lastPart);
  if (rv == CKR_OK) rv = finishMessage(*op, message);
  const PaddingSpec& scheme = op->mechanism.padding;
  if (rv == CKR_OK && scheme.padding == Padding::Pss && message.size() != scheme.hash->size())
    rv = CKR_DATA_LEN_RANGE;
  if (rv == CKR_OK) rv = verifySignature(op->publicKey.get(), scheme, message.span(), signature);
  op.reset();
  return rv;
}

}  // namespace

CK_RV SignInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (session.sign) return CKR_OPERATION_ACTIVE;
    return startKeyOperation(module, Purpose::Sign, mechanism, key, session.sign);
  });
}

CK_RV Sign(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR signature,
           CK_ULONG_PTR signatureLen) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (endsPartsEarly(session.sign)) return CKR_OPERATION_ACTIVE;
    if (session.sign && badInput(data, dataLen)) {
      session.sign.reset();
      return CKR_ARGUMENTS_BAD;
    }
    return produceSignature(module, session, inputOf(data, dataLen), signature, signatureLen);
  });
}

CK_RV SignUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    return updateWith(session.sign, data, dataLen);
  });
}

CK_RV SignFinal(CK_SESSION_HANDLE h, CK_BYTE_PTR signature, CK_ULONG_PTR signatureLen) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    return produceSignature(module, session, {}, signature, signatureLen);
  });
}

// No mechanism of the token recovers data from a signature.
CK_RV SignRecoverInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE) {
  return withSession(h, [&](Module&, Session&) -> CK_RV {
    return mechanism == nullptr ? CKR_ARGUMENTS_BAD : CKR_MECHANISM_INVALID;
  });
}

CK_RV SignRecover(CK_SESSION_HANDLE h, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
  return withSession(h, [](Module&, Session&) -> CK_RV { return CKR_OPERATION_NOT_INITIALIZED; });
}

CK_RV VerifyInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (session.verify) return CKR_OPERATION_ACTIVE;
    return startKeyOperation(module, Purpose::Verify, mechanism, key, session.verify);
  });
}

CK_RV Verify(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR signature,
             CK_ULONG signatureLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    if (endsPartsEarly(session.verify)) return CKR_OPERATION_ACTIVE;
    if (session.verify && (badInput(data, dataLen) || badInput(signature, signatureLen))) {
      session.verify.reset();
      return CKR_ARGUMENTS_BAD;
    }
    return checkSignature(session, inputOf(data, dataLen), inputOf(signature, signatureLen));
  });
}

CK_RV VerifyUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    return updateWith(session.verify, data, dataLen);
  });
}

CK_RV VerifyFinal(CK_SESSION_HANDLE h, CK_BYTE_PTR signature, CK_ULONG signatureLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    if (session.verify && badInput(signature, signatureLen)) {
      session.verify.reset();
      return CKR_ARGUMENTS_BAD;
    }
    return checkSignature(session, {}, inputOf(signature, signatureLen));
  });
}

CK_RV VerifyRecoverInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE) {
  return withSession(h, [&](Module&, Session&) -> CK_RV {
    return mechanism == nullptr ? CKR_ARGUMENTS_BAD : CKR_MECHANISM_INVALID;
  });
}

CK_RV VerifyRecover(CK_SESSION_HANDLE h, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
  return withSession(h, [](Module&, Session&) -> CK_RV { return CKR_OPERATION_NOT_INITIALIZED; });
}

}  // namespace p11::calls

// Message digests, in software.
#include "calls/calls.h"
#include "module/key_operations.h"

namespace p11::calls {
namespace {

CK_RV finishDigest(Session& session, ByteView lastPart, CK_BYTE_PTR out, CK_ULONG_PTR outLen) {
  std::unique_ptr<DigestOperation>& op = session.digest;
  bool ready = false;
  const std::size_t size = op ? op->digest.hash().size() : 0;
  if (const CK_RV rv = outputStep(op, out, outLen, size, ready); !ready) return rv;
  Bytes value;
  const bool ok = op->digest.update(lastPart) && op->digest.finish(value);
  if (ok) {
    std::copy(value.begin(), value.end(), out);
    *outLen = static_cast<CK_ULONG>(value.size());
  }
  op.reset();
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
    auto op = std::make_unique<DigestOperation>(*hash);
    if (!op->digest.ok()) return CKR_FUNCTION_FAILED;
    session.digest = std::move(op);
    return CKR_OK;
  });
}

CK_RV Digest(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR out,
             CK_ULONG_PTR outLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    // C_Digest cannot end an operation that C_DigestUpdate began.
    if (session.digest && session.digest->inParts) return CKR_OPERATION_ACTIVE;
    if (session.digest && badInput(data, dataLen)) {
      session.digest.reset();
      return CKR_ARGUMENTS_BAD;
    }
    return finishDigest(session, inputOf(data, dataLen), out, outLen);
  });
}

CK_RV DigestUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    if (!session.digest) return CKR_OPERATION_NOT_INITIALIZED;
    const bool bad = badInput(data, dataLen);
    if (!bad && session.digest->digest.update(inputOf(data, dataLen))) {
      session.digest->inParts = true;
      return CKR_OK;
    }
    session.digest.reset();
    return bad ? CKR_ARGUMENTS_BAD : CKR_FUNCTION_FAILED;
  });
}

// Only secret keys can be digested, and the token has none.
CK_RV DigestKey(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE key) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (!session.digest) return CKR_OPERATION_NOT_INITIALIZED;
    if (module.lookUp(key, false) == nullptr) return CKR_KEY_HANDLE_INVALID;
    return CKR_KEY_INDIGESTIBLE;
  });
}

CK_RV DigestFinal(CK_SESSION_HANDLE h, CK_BYTE_PTR out, CK_ULONG_PTR outLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    return finishDigest(session, {}, out, outLen);
  });
}

}  // namespace p11::calls

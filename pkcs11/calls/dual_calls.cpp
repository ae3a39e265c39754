// The dual-purpose calls pair a digest or signature with a multi-part
// cipher; the token's RSA mechanisms are one block each, so none applies.
#include "calls/calls.h"
#include "module/module.h"

namespace p11::calls {
namespace {

CK_RV notSupported(CK_SESSION_HANDLE h) {
  return withSession(h, [](Module&, Session&) -> CK_RV { return CKR_FUNCTION_NOT_SUPPORTED; });
}

}  // namespace

CK_RV DigestEncryptUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
  return notSupported(h);
}
CK_RV DecryptDigestUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
  return notSupported(h);
}
CK_RV SignEncryptUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
  return notSupported(h);
}
CK_RV DecryptVerifyUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
  return notSupported(h);
}

}  // namespace p11::calls

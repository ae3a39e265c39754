// What version 3.0 of the standard adds: a login that may name a user, the
// cancelling of operations in progress, and the message-based calls, for
// which the token has no mechanism.
#include "calls/calls.h"
#include "module/module.h"

namespace p11::calls {
namespace {

CK_RV noMessageMechanism(CK_SESSION_HANDLE h) {
  return withSession(h, [](Module&, Session&) -> CK_RV { return CKR_FUNCTION_NOT_SUPPORTED; });
}

}  // namespace

// The token knows its two PINs, not named users: a name is refused, none
// is C_Login.
CK_RV LoginUser(CK_SESSION_HANDLE h, CK_USER_TYPE userType, CK_UTF8CHAR_PTR pin, CK_ULONG pinLen,
                CK_UTF8CHAR_PTR userName, CK_ULONG userNameLen) {
  if (userName != nullptr || userNameLen != 0) {
    const CK_RV rv = withSession(h, [](Module&, Session&) -> CK_RV { return CKR_OK; });
    return rv == CKR_OK ? CKR_ARGUMENTS_BAD : rv;
  }
  return Login(h, userType, pin, pinLen);
}

CK_RV SessionCancel(CK_SESSION_HANDLE h, CK_FLAGS flags) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    if ((flags & CKF_ENCRYPT) != 0) session.encrypt.reset();
    if ((flags & CKF_DECRYPT) != 0) session.decrypt.reset();
    if ((flags & CKF_DIGEST) != 0) session.digest.reset();
    if ((flags & CKF_SIGN) != 0) session.sign.reset();
    if ((flags & CKF_VERIFY) != 0) session.verify.reset();
    if ((flags & CKF_FIND_OBJECTS) != 0) session.find.reset();
    return CKR_OK;  // the other operations never run here
  });
}

CK_RV MessageInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR, CK_OBJECT_HANDLE) {
  return noMessageMechanism(h);
}

CK_RV CryptMessage(CK_SESSION_HANDLE h, CK_VOID_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                   CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
  return noMessageMechanism(h);
}

CK_RV CryptMessageBegin(CK_SESSION_HANDLE h, CK_VOID_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG) {
  return noMessageMechanism(h);
}

CK_RV CryptMessageNext(CK_SESSION_HANDLE h, CK_VOID_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG,
                       CK_BYTE_PTR, CK_ULONG_PTR, CK_FLAGS) {
  return noMessageMechanism(h);
}

CK_RV MessageFinal(CK_SESSION_HANDLE h) { return noMessageMechanism(h); }

CK_RV SignMessage(CK_SESSION_HANDLE h, CK_VOID_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                  CK_ULONG_PTR) {
  return noMessageMechanism(h);
}

CK_RV MessageBegin(CK_SESSION_HANDLE h, CK_VOID_PTR, CK_ULONG) { return noMessageMechanism(h); }

CK_RV VerifyMessage(CK_SESSION_HANDLE h, CK_VOID_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                    CK_ULONG) {
  return noMessageMechanism(h);
}

}  // namespace p11::calls

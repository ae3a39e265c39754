// Sessions. The application's login lives as long as one of its sessions
// does: closing the last one logs it out.
#include "calls/calls.h"
#include "module/module.h"

namespace p11::calls {
namespace {

CK_STATE stateOf(const Module& module, const Session& session) {
  switch (module.login.state()) {
    case Login::State::SecurityOfficer: return CKS_RW_SO_FUNCTIONS;
    case Login::State::User:
      return session.readWrite() ? CKS_RW_USER_FUNCTIONS : CKS_RO_USER_FUNCTIONS;
    case Login::State::None: break;
  }
  return session.readWrite() ? CKS_RW_PUBLIC_SESSION : CKS_RO_PUBLIC_SESSION;
}

void closeOne(Module& module, CK_SESSION_HANDLE handle) {
  module.objects.dropSessionObjects(handle);
  module.sessions.close(handle);
  if (module.sessions.count() == 0 && module.login.state() != Login::State::None) {
    TokenLock lock(module.tokenMutex());
    module.endLogin(lock);
  }
}

}  // namespace

CK_RV OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_VOID_PTR, CK_NOTIFY,
                  CK_SESSION_HANDLE_PTR h) {
  return withModule([&](Module& module) -> CK_RV {
    if (slot != kSlotId) return CKR_SLOT_ID_INVALID;
    if (h == nullptr) return CKR_ARGUMENTS_BAD;
    if ((flags & CKF_SERIAL_SESSION) == 0) return CKR_SESSION_PARALLEL_NOT_SUPPORTED;
    if ((flags & CKF_RW_SESSION) == 0 && module.login.securityOfficer())
      return CKR_SESSION_READ_WRITE_SO_EXISTS;
    TokenLock lock(module.tokenMutex());
    if (NORV_DAL_Initialize() != NORV_DAL_OK) return CKR_TOKEN_NOT_PRESENT;
    // The objects are read when the application first looks for them.
    *h = module.sessions.open(flags).handle;
    return CKR_OK;
  });
}

CK_RV CloseSession(CK_SESSION_HANDLE h) {
  return withSession(h, [&](Module& module, Session&) -> CK_RV {
    closeOne(module, h);
    return CKR_OK;
  });
}

CK_RV CloseAllSessions(CK_SLOT_ID slot) {
  return withModule([&](Module& module) -> CK_RV {
    if (slot != kSlotId) return CKR_SLOT_ID_INVALID;
    for (const CK_SESSION_HANDLE handle : module.sessions.handles()) closeOne(module, handle);
    return CKR_OK;
  });
}

CK_RV GetSessionInfo(CK_SESSION_HANDLE h, CK_SESSION_INFO_PTR info) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (info == nullptr) return CKR_ARGUMENTS_BAD;
    info->slotID = kSlotId;
    info->state = stateOf(module, session);
    info->flags = session.flags;
    info->ulDeviceError = 0;
    return CKR_OK;
  });
}

// Operations hold digests and token state that cannot be saved.
CK_RV GetOperationState(CK_SESSION_HANDLE h, CK_BYTE_PTR, CK_ULONG_PTR) {
  return withSession(h, [](Module&, Session&) -> CK_RV { return CKR_FUNCTION_NOT_SUPPORTED; });
}

CK_RV SetOperationState(CK_SESSION_HANDLE h, CK_BYTE_PTR, CK_ULONG, CK_OBJECT_HANDLE,
                        CK_OBJECT_HANDLE) {
  return withSession(h, [](Module&, Session&) -> CK_RV { return CKR_FUNCTION_NOT_SUPPORTED; });
}

CK_RV GetFunctionStatus(CK_SESSION_HANDLE h) {
  return withSession(h, [](Module&, Session&) -> CK_RV { return CKR_FUNCTION_NOT_PARALLEL; });
}

CK_RV CancelFunction(CK_SESSION_HANDLE h) {
  return withSession(h, [](Module&, Session&) -> CK_RV { return CKR_FUNCTION_NOT_PARALLEL; });
}

}  // namespace p11::calls

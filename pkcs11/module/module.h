// The module's state for one application: created by C_Initialize,
// destroyed by C_Finalize. Every entry point runs with the module's mutex
// held, so calls from the application's threads never interleave; every
// operation that sends commands also holds the token's machine-wide lock.
#pragma once

#include <mutex>

#include "module/sessions.h"
#include "records/token_record.h"
#include "store/object_store.h"
#include "token/login.h"

namespace p11 {

inline constexpr CK_SLOT_ID kSlotId = 0;

class Module {
 public:
  explicit Module(NORV_DAL_MUTEX* tokenMutex) : tokenMutex_(tokenMutex) {}
  NORV_DAL_MUTEX* tokenMutex() const { return tokenMutex_; }

  Login login;
  Sessions sessions;
  ObjectStore objects;

  // The token record (label, serial, user PIN set), read afresh. `found`:
  // the token holds one (and so is formatted); else the defaults.
  CK_RV readRecord(const TokenLock& lock, TokenRecord& record, bool* found = nullptr);
  CK_RV writeRecord(const TokenLock& lock, const TokenRecord& record);
  // Whether the user PIN is set, as last read: once set it stays so until
  // the token is formatted, so only "not set" is read again.
  CK_RV userPinSet(const TokenLock& lock, bool& set);
  // After formatting: nothing read before holds.
  void forgetToken();

  // Logs out and forgets private objects (C_Logout, last session closed).
  void endLogin(const TokenLock& lock);

  // The object of a handle. A handle of a token object the module has not
  // listed yet (an application keeps handles across C_Initialize, or has
  // not searched yet) makes it read the object set first. `anyone`: private
  // objects too, whoever is logged in.
  const Object* lookUp(CK_OBJECT_HANDLE handle, bool anyone);

 private:
  NORV_DAL_MUTEX* tokenMutex_;
  TwinState recordState_;
  bool pinSetSeen_ = false;
};

CK_RV initializeModule(CK_VOID_PTR args);
CK_RV finalizeModule(CK_VOID_PTR reserved);

std::mutex& moduleMutex();
// The module of this process, or null before C_Initialize (a forked child
// sees none until it calls C_Initialize itself).
Module* liveModule();

// Runs an entry point's body with the module's mutex held; no exception
// leaves it.
template <typename Body>
CK_RV withModule(Body body) noexcept {
  try {
    std::lock_guard guard(moduleMutex());
    Module* module = liveModule();
    if (module == nullptr) return CKR_CRYPTOKI_NOT_INITIALIZED;
    return body(*module);
  } catch (const std::bad_alloc&) {
    return CKR_HOST_MEMORY;
  } catch (...) {
    return CKR_GENERAL_ERROR;
  }
}

template <typename Body>
CK_RV withSession(CK_SESSION_HANDLE handle, Body body) noexcept {
  return withModule([&](Module& module) -> CK_RV {
    Session* session = module.sessions.find(handle);
    if (session == nullptr) return CKR_SESSION_HANDLE_INVALID;
    return body(module, *session);
  });
}

}  // namespace p11

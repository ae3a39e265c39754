// The application's login. The token has one security state for every
// program, and any program's logout or wrong PIN clears it, so the module
// keeps its own: what the application logged in as (for all its sessions)
// and the PIN it used, to log the token in again when it lost the login.
// The token's state is never taken as permission.
#pragma once

#include "token/pin_vault.h"
#include "token/token_lock.h"

namespace p11 {

class Login {
 public:
  enum class State { None, User, SecurityOfficer };

  State state() const { return state_; }
  bool user() const { return state_ == State::User; }
  bool securityOfficer() const { return state_ == State::SecurityOfficer; }

  // C_Login: checks the PIN's length, verifies it on the token, keeps it.
  CK_RV logIn(const TokenLock& lock, Role who, ByteView pin);
  // Drops the login and the PINs; logs the token out when it was logged in.
  void logOut(const TokenLock& lock);
  // Drops the login without touching the token (the token is gone or was
  // formatted).
  void forget();

  // Runs a token call that needs the user PIN verified on the token. When
  // the call fails and the token no longer has the user logged in, logs in
  // again with the PIN held and runs the call once more. CKR_OK when the
  // call succeeded; CKR_USER_NOT_LOGGED_IN when the login was lost for good
  // (the application's login is then dropped); CKR_DEVICE_REMOVED when the
  // token is gone; otherwise `failure`.
  template <typename Call>
  CK_RV asUser(const TokenLock& lock, CK_RV failure, Call call);

  // Runs a call with the token's login dropped, then logs the user in
  // again with the PIN held: what a file lets anyone do is found out so.
  // CKR_OK, CKR_USER_NOT_LOGGED_IN (the user's login is lost for good) or
  // CKR_DEVICE_REMOVED.
  template <typename Call>
  CK_RV withoutLogin(const TokenLock& lock, Call call);

  // Before a change that must not fail half-way for want of a login.
  CK_RV ensureUserOnToken(const TokenLock& lock);
  CK_RV ensureSecurityOfficerOnToken(const TokenLock& lock);

  // What a PIN call answered: tries left, blocked, or success.
  void noteTries(Role who, std::int32_t result);
  CK_FLAGS pinFlags() const;

  const PinVault& pins() const { return vault_; }
  void keepPin(Role who, ByteView pin) { vault_.keep(who, pin); }

 private:
  struct Tries {
    int left = -1;  // unknown, or what the last refusal said
    bool locked = false;
  };
  CK_RV restoreUser(const TokenLock& lock);
  // Logs the token in with the PIN held; drops the login when it fails.
  CK_RV logInAgain(Role who);
  static CK_RV afterCall(std::int32_t result, CK_RV failure);

  State state_ = State::None;
  PinVault vault_;
  Tries tries_[2];
};

// CKR_OK, CKR_PIN_INCORRECT, CKR_PIN_LOCKED, CKR_DEVICE_REMOVED or
// CKR_DEVICE_ERROR for a result of the library's PIN calls.
CK_RV pinResult(std::int32_t result);
bool pinLengthFits(ByteView pin);
bool userOnToken(const TokenLock& lock);

template <typename Call>
CK_RV Login::asUser(const TokenLock& lock, CK_RV failure, Call call) {
  const std::int32_t first = call();
  if (first == NORV_DAL_OK || first == NORV_DAL_ERR_OPEN_DEVICE || userOnToken(lock))
    return afterCall(first, failure);
  if (const CK_RV rv = restoreUser(lock); rv != CKR_OK) return rv;
  return afterCall(call(), failure);
}

template <typename Call>
CK_RV Login::withoutLogin(const TokenLock&, Call call) {
  if (state_ != State::User || !vault_.holds(Role::User)) return CKR_USER_NOT_LOGGED_IN;
  NORV_DAL_Logout(NORV_DAL_LOGIN_USER);
  call();
  return logInAgain(Role::User);
}

}  // namespace p11

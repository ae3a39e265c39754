#include "token/login.h"

#include "common/token_shape.h"
#include "token/dal_results.h"

namespace p11 {
namespace {

std::int32_t loginType(Role who) {
  return who == Role::User ? NORV_DAL_LOGIN_USER : NORV_DAL_LOGIN_SUPER;
}

std::size_t index(Role who) { return who == Role::User ? 0 : 1; }

bool onToken(Role who) {
  std::int32_t flag = 0;
  return NORV_DAL_IsLogin(loginType(who), &flag) == NORV_DAL_OK && flag == 1;
}

}  // namespace

CK_RV pinResult(std::int32_t result) {
  if (result == NORV_DAL_OK) return CKR_OK;
  if (common::isTriesLeft(result)) return CKR_PIN_INCORRECT;
  if (result == NORV_DAL_ERR_USER_PIN_LOCKED || result == NORV_DAL_ERR_SUPER_PIN_LOCKED)
    return CKR_PIN_LOCKED;
  return deviceFailure(result);
}

bool pinLengthFits(ByteView pin) {
  return pin.size() >= common::kMinPinLength && pin.size() <= common::kMaxPinLength;
}

bool userOnToken(const TokenLock&) { return onToken(Role::User); }

CK_RV Login::logIn(const TokenLock&, Role who, ByteView pin) {
  if (!pinLengthFits(pin)) return CKR_PIN_LEN_RANGE;
  const std::int32_t result =
      NORV_DAL_Login(loginType(who), pin.data(), static_cast<std::int32_t>(pin.size()));
  noteTries(who, result);
  if (result != NORV_DAL_OK) return pinResult(result);
  vault_.keep(who, pin);
  state_ = who == Role::User ? State::User : State::SecurityOfficer;
  return CKR_OK;
}

void Login::logOut(const TokenLock&) {
  if (state_ != State::None)
    NORV_DAL_Logout(state_ == State::User ? NORV_DAL_LOGIN_USER : NORV_DAL_LOGIN_SUPER);
  forget();
}

void Login::forget() {
  state_ = State::None;
  vault_.drop(Role::User);
  vault_.drop(Role::SecurityOfficer);
}

CK_RV Login::restoreUser(const TokenLock&) {
  if (state_ != State::User || !vault_.holds(Role::User)) {
    forget();
    return CKR_USER_NOT_LOGGED_IN;
  }
  return logInAgain(Role::User);
}

CK_RV Login::logInAgain(Role who) {
  const ByteView pin = vault_.pin(who);
  const std::int32_t result =
      NORV_DAL_Login(loginType(who), pin.data(), static_cast<std::int32_t>(pin.size()));
  noteTries(who, result);
  if (result == NORV_DAL_OK) return CKR_OK;
  if (result == NORV_DAL_ERR_OPEN_DEVICE) return CKR_DEVICE_REMOVED;
  // The PIN was changed or blocked elsewhere: never try it again.
  forget();
  return CKR_USER_NOT_LOGGED_IN;
}

CK_RV Login::afterCall(std::int32_t result, CK_RV failure) {
  if (result == NORV_DAL_OK) return CKR_OK;
  return result == NORV_DAL_ERR_OPEN_DEVICE ? CKR_DEVICE_REMOVED : failure;
}

CK_RV Login::ensureUserOnToken(const TokenLock& lock) {
  if (state_ != State::User) return CKR_USER_NOT_LOGGED_IN;
  return userOnToken(lock) ? CKR_OK : restoreUser(lock);
}

CK_RV Login::ensureSecurityOfficerOnToken(const TokenLock&) {
  if (state_ != State::SecurityOfficer || !vault_.holds(Role::SecurityOfficer))
    return CKR_USER_NOT_LOGGED_IN;
  return onToken(Role::SecurityOfficer) ? CKR_OK : logInAgain(Role::SecurityOfficer);
}

void Login::noteTries(Role who, std::int32_t result) {
  Tries& t = tries_[index(who)];
  if (result == NORV_DAL_OK) {
    t = Tries{};
  } else if (common::isTriesLeft(result)) {
    t.left = result;
    t.locked = false;
  } else if (result == NORV_DAL_ERR_USER_PIN_LOCKED || result == NORV_DAL_ERR_SUPER_PIN_LOCKED) {
    t.left = 0;
    t.locked = true;
  }
}

CK_FLAGS Login::pinFlags() const {
  CK_FLAGS flags = 0;
  const Tries& u = tries_[0];
  const Tries& s = tries_[1];
  if (u.left >= 0 && !u.locked) flags |= CKF_USER_PIN_COUNT_LOW;
  if (u.left == 1) flags |= CKF_USER_PIN_FINAL_TRY;
  if (u.locked) flags |= CKF_USER_PIN_LOCKED;
  if (s.left >= 0 && !s.locked) flags |= CKF_SO_PIN_COUNT_LOW;
  if (s.left == 1) flags |= CKF_SO_PIN_FINAL_TRY;
  if (s.locked) flags |= CKF_SO_PIN_LOCKED;
  return flags;
}

}  // namespace p11

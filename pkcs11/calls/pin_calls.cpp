// Token initialisation, PINs and logins.
#include <algorithm>
#include <array>

#include "calls/calls.h"
#include "common/secret_bytes.h"
#include "common/token_shape.h"
#include "module/module.h"
#include "token/dal_results.h"
#include "token/token_keys.h"

namespace p11::calls {
namespace {

constexpr std::size_t kSerialBytes = 8;

ByteView pinOf(CK_UTF8CHAR_PTR pin, CK_ULONG length) { return {pin, length}; }

std::int32_t size32(ByteView bytes) { return static_cast<std::int32_t>(bytes.size()); }

bool formatted(const TokenLock&) {
  std::int32_t flag = 0;
  return NORV_DAL_IsLogin(NORV_DAL_LOGIN_USER, &flag) == NORV_DAL_OK;
}

// A user PIN until the security officer sets one with C_InitPIN: random,
// known to nobody, wiped here.
std::int32_t formatWithUnknownUserPin(const TokenLock& lock, ByteView soPin) {
  common::SecretBytes userPin(common::kMaxPinLength);
  std::int32_t rv = drawRandom(lock, userPin.span());
  if (rv == NORV_DAL_OK)
    rv = NORV_DAL_FormatDevice(soPin.data(), size32(soPin), userPin.data(), size32(userPin.span()));
  return rv;
}

CK_RV newSerial(const TokenLock& lock, TokenRecord& record) {
  std::array<std::uint8_t, kSerialBytes> random{};
  if (const std::int32_t rv = drawRandom(lock, random); rv != NORV_DAL_OK) return deviceFailure(rv);
  constexpr char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < random.size(); ++i) {
    record.serial[2 * i] = static_cast<std::uint8_t>(kHex[random[i] >> 4]);
    record.serial[2 * i + 1] = static_cast<std::uint8_t>(kHex[random[i] & 0x0F]);
  }
  return CKR_OK;
}

CK_RV formatToken(Module& module, const TokenLock& lock, ByteView soPin, const CK_UTF8CHAR* label) {
  if (const std::int32_t rv = formatWithUnknownUserPin(lock, soPin); rv != NORV_DAL_OK)
    return deviceFailure(rv);
  module.forgetToken();
  TokenRecord record = defaultTokenRecord();
  std::copy_n(label, record.label.size(), record.label.begin());
  record.userPinSet = false;
  if (const CK_RV rv = newSerial(lock, record); rv != CKR_OK) return rv;
  // The record is the security officer's to write.
  const std::int32_t login = NORV_DAL_Login(NORV_DAL_LOGIN_SUPER, soPin.data(), size32(soPin));
  if (login != NORV_DAL_OK) return deviceFailure(login);
  const CK_RV rv = module.writeRecord(lock, record);
  NORV_DAL_Logout(NORV_DAL_LOGIN_SUPER);
  return rv;
}

CK_RV userPinSet(Module& module, const TokenLock& lock) {
  bool set = false;
  if (const CK_RV rv = module.userPinSet(lock, set); rv != CKR_OK) return rv;
  return set ? CKR_OK : CKR_USER_PIN_NOT_INITIALIZED;
}

}  // namespace

CK_RV InitToken(CK_SLOT_ID slot, CK_UTF8CHAR_PTR pin, CK_ULONG pinLen, CK_UTF8CHAR_PTR label) {
  return withModule([&](Module& module) -> CK_RV {
    if (slot != kSlotId) return CKR_SLOT_ID_INVALID;
    if (pin == nullptr || label == nullptr) return CKR_ARGUMENTS_BAD;
    const ByteView soPin = pinOf(pin, pinLen);
    if (!pinLengthFits(soPin)) return CKR_PIN_LEN_RANGE;
    if (module.sessions.count() != 0) return CKR_SESSION_EXISTS;
    TokenLock lock(module.tokenMutex());
    if (NORV_DAL_Initialize() != NORV_DAL_OK) return CKR_TOKEN_NOT_PRESENT;
    // Formatting asks for no PIN: the security officer's is checked first.
    // Only a blank token, which has none, is formatted without it.
    const std::int32_t check = NORV_DAL_Login(NORV_DAL_LOGIN_SUPER, soPin.data(), size32(soPin));
    module.login.noteTries(Role::SecurityOfficer, check);
    if (check != NORV_DAL_OK && (check != NORV_DAL_ERR_LOGIN || formatted(lock)))
      return pinResult(check);
    const CK_RV rv = formatToken(module, lock, soPin, label);
    module.login.noteTries(Role::User, NORV_DAL_OK);
    return rv;
  });
}

CK_RV InitPIN(CK_SESSION_HANDLE h, CK_UTF8CHAR_PTR pin, CK_ULONG pinLen) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (!session.readWrite()) return CKR_SESSION_READ_ONLY;
    if (!module.login.securityOfficer()) return CKR_USER_NOT_LOGGED_IN;
    if (pin == nullptr) return CKR_ARGUMENTS_BAD;
    const ByteView userPin = pinOf(pin, pinLen);
    if (!pinLengthFits(userPin)) return CKR_PIN_LEN_RANGE;
    TokenLock lock(module.tokenMutex());
    const ByteView soPin = module.login.pins().pin(Role::SecurityOfficer);
    const std::int32_t rv =
        NORV_DAL_UnlockPin(soPin.data(), size32(soPin), userPin.data(), size32(userPin));
    if (const CK_RV pinRv = pinResult(rv); pinRv == CKR_PIN_INCORRECT || pinRv == CKR_PIN_LOCKED) {
      // The super PIN this application logged in with was changed elsewhere.
      module.login.noteTries(Role::SecurityOfficer, rv);
      module.login.forget();
      return pinRv;
    }
    if (rv != NORV_DAL_OK) return deviceFailure(rv);
    module.login.noteTries(Role::User, NORV_DAL_OK);
    TokenRecord record;
    if (const CK_RV read = module.readRecord(lock, record); read != CKR_OK) return read;
    if (record.userPinSet) return CKR_OK;
    record.userPinSet = true;
    if (const CK_RV so = module.login.ensureSecurityOfficerOnToken(lock); so != CKR_OK) return so;
    return module.writeRecord(lock, record);
  });
}

CK_RV SetPIN(CK_SESSION_HANDLE h, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLen, CK_UTF8CHAR_PTR newPin,
             CK_ULONG newLen) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (!session.readWrite()) return CKR_SESSION_READ_ONLY;
    if (oldPin == nullptr || newPin == nullptr) return CKR_ARGUMENTS_BAD;
    const ByteView oldValue = pinOf(oldPin, oldLen);
    const ByteView newValue = pinOf(newPin, newLen);
    if (!pinLengthFits(oldValue) || !pinLengthFits(newValue)) return CKR_PIN_LEN_RANGE;
    const Role who = module.login.securityOfficer() ? Role::SecurityOfficer : Role::User;
    TokenLock lock(module.tokenMutex());
    if (who == Role::User)
      if (const CK_RV rv = userPinSet(module, lock); rv != CKR_OK) return rv;
    const std::int32_t rv =
        NORV_DAL_ChangePin(who == Role::User ? NORV_DAL_LOGIN_USER : NORV_DAL_LOGIN_SUPER,
                           oldValue.data(), size32(oldValue), newValue.data(), size32(newValue));
    module.login.noteTries(who, rv);
    if (rv != NORV_DAL_OK) return pinResult(rv);
    const bool loggedInAs =
        who == Role::User ? module.login.user() : module.login.securityOfficer();
    if (loggedInAs) module.login.keepPin(who, newValue);
    return CKR_OK;
  });
}

CK_RV Login(CK_SESSION_HANDLE h, CK_USER_TYPE userType, CK_UTF8CHAR_PTR pin, CK_ULONG pinLen) {
  return withSession(h, [&](Module& module, Session&) -> CK_RV {
    // No key of this token asks for a login of its own.
    if (userType == CKU_CONTEXT_SPECIFIC) return CKR_OPERATION_NOT_INITIALIZED;
    if (userType != CKU_USER && userType != CKU_SO) return CKR_USER_TYPE_INVALID;
    const Role who = userType == CKU_USER ? Role::User : Role::SecurityOfficer;
    const Login::State wanted =
        who == Role::User ? Login::State::User : Login::State::SecurityOfficer;
    if (module.login.state() == wanted) return CKR_USER_ALREADY_LOGGED_IN;
    if (module.login.state() != Login::State::None) return CKR_USER_ANOTHER_ALREADY_LOGGED_IN;
    if (who == Role::SecurityOfficer && module.sessions.readOnlyCount() != 0)
      return CKR_SESSION_READ_ONLY_EXISTS;
    if (pin == nullptr) return CKR_ARGUMENTS_BAD;
    TokenLock lock(module.tokenMutex());
    if (who == Role::User)
      if (const CK_RV rv = userPinSet(module, lock); rv != CKR_OK) return rv;
    // Private objects are listed, and read when first needed.
    return module.login.logIn(lock, who, pinOf(pin, pinLen));
  });
}

CK_RV Logout(CK_SESSION_HANDLE h) {
  return withSession(h, [&](Module& module, Session&) -> CK_RV {
    if (module.login.state() == Login::State::None) return CKR_USER_NOT_LOGGED_IN;
    TokenLock lock(module.tokenMutex());
    module.endLogin(lock);
    return CKR_OK;
  });
}

}  // namespace p11::calls

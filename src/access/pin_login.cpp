// Logging in and out, and asking the card whether a PIN is logged in.
// The card keeps the login state; the library keeps none.
#include "access/pin_args.h"
#include "access/pin_commands.h"
#include "access/pin_status.h"
#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "device/session.h"
#include "files/card_files.h"
#include "files/token_layout.h"
#include "norv_dal_tkp30.h"

namespace {

std::int32_t login(std::int32_t loginType, const std::uint8_t* pin, std::int32_t pinLen) {
  if (!dal::pinArgFits(pin, pinLen, dal::kMaxVerifyPin)) {
    DAL_LOG("******>pin length");
    return NORV_DAL_ERR_PARAM;
  }
  const std::int32_t sw = dal::CosVerifyPin(dal::DalPinKeyRef(loginType), dal::pinSpan(pin, pinLen));
  if (sw == dal::kSwSuccess) return NORV_DAL_OK;
  DAL_LOG("******>NORV_DAL_Login");
  return dal::DalPinRefusal(sw, dal::DalPinBlockedCode(loginType)).value_or(NORV_DAL_ERR_LOGIN);
}

bool knownLoginType(std::int32_t loginType) {
  return loginType == dal::kLoginSuper || loginType == dal::kLoginUser;
}

// Verifying the logout PIN displaces whichever login the card holds.
std::int32_t logout(std::int32_t loginType) {
  if (!knownLoginType(loginType)) {
    DAL_LOG("******>login type");
    return NORV_DAL_ERR_PARAM;
  }
  const std::int32_t sw = dal::CosVerifyPin(dal::layout::kLogoutPinRef,
                                            dal::layout::asBytes(dal::layout::kLogoutPinValue));
  if (sw == dal::kSwSuccess) return NORV_DAL_OK;
  DAL_LOG("******>chk usr pin");
  return NORV_DAL_ERR_LOGOUT;
}

// The probe file of a PIN can be read only while that PIN is logged in,
// so a refused read is an answer (not logged in), not a failure.
std::int32_t isLogin(std::int32_t loginType, std::int32_t* flag) {
  if (!knownLoginType(loginType)) {
    DAL_LOG("******>login type");
    return NORV_DAL_ERR_PARAM;
  }
  if (flag == nullptr) {
    DAL_LOG("******>login flag");
    return NORV_DAL_ERR_PARAM;
  }
  const std::uint16_t probe = loginType == dal::kLoginSuper ? dal::layout::kSuperProbeFileId
                                                            : dal::layout::kUserProbeFileId;
  *flag = 0;
  if (const std::int32_t sw = dal::CosSelectFileId(probe); sw != dal::kSwSuccess) {
    DAL_LOG_VALUE("******>Wrt Select Error:", sw);
    return NORV_DAL_ERR_OTHER;
  }
  std::uint8_t scratch[dal::layout::kProbeFileSize] = {};
  if (const std::int32_t rv = dal::CosReadBinary(scratch, 0, sizeof scratch); rv != 0) {
    DAL_LOG_VALUE("******>NORV_DAL_IsLogin Error:", rv);
    return NORV_DAL_OK;
  }
  *flag = 1;
  return NORV_DAL_OK;
}

}  // namespace

extern "C" {

NORV_DAL_API int32_t NORV_DAL_Login(int32_t loginType, const uint8_t* pin, int32_t pinLen) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return login(loginType, pin, pinLen);
  });
}

NORV_DAL_API int32_t NORV_DAL_Logout(int32_t loginType) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return logout(loginType);
  });
}

NORV_DAL_API int32_t NORV_DAL_IsLogin(int32_t loginType, int32_t* isLoginFlag) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return isLogin(loginType, isLoginFlag);
  });
}

}  // extern "C"

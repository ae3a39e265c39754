// Logging in and out, and asking the card whether a PIN is logged in.
// The card keeps the login state; the library keeps none.
#include "access/pin_status.h"
#include "card/file_commands.h"
#include "card/pin_args.h"
#include "card/pin_commands.h"
#include "card/token_layout.h"
#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "device/session.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

std::int32_t login(std::int32_t loginType, const std::uint8_t* pin, std::int32_t pinLen) {
  if (!pinArgFits(pin, pinLen, kMaxVerifyPin)) {
    DAL_LOG("******>pin length");
    return NORV_DAL_ERR_PARAM;
  }
  const std::int32_t sw = CosVerifyPin(DalPinKeyRef(loginType), pinSpan(pin, pinLen));
  if (sw == kSwSuccess) return NORV_DAL_OK;
  DAL_LOG("******>NORV_DAL_Login");
  return DalPinRefusal(sw, DalPinBlockedCode(loginType)).value_or(NORV_DAL_ERR_LOGIN);
}

bool knownLoginType(std::int32_t loginType) {
  return loginType == NORV_DAL_LOGIN_SUPER || loginType == NORV_DAL_LOGIN_USER;
}

// Verifying the logout PIN displaces whichever login the card holds.
std::int32_t logout(std::int32_t loginType) {
  if (!knownLoginType(loginType)) {
    DAL_LOG("******>login type");
    return NORV_DAL_ERR_PARAM;
  }
  const std::int32_t sw =
      CosVerifyPin(layout::kLogoutPinRef, layout::asBytes(layout::kLogoutPinValue));
  if (sw == kSwSuccess) return NORV_DAL_OK;
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
  const std::uint16_t probe =
      loginType == NORV_DAL_LOGIN_SUPER ? layout::kSuperProbeFileId : layout::kUserProbeFileId;
  *flag = 0;
  if (const std::int32_t sw = CosSelectFileId(probe); sw != kSwSuccess) {
    DAL_LOG_VALUE("******>Wrt Select Error:", sw);
    return NORV_DAL_ERR_OTHER;
  }
  std::uint8_t scratch[layout::kProbeFileSize] = {};
  if (const std::int32_t rv = CosReadBinary(scratch, 0, sizeof scratch); rv != 0) {
    DAL_LOG_VALUE("******>NORV_DAL_IsLogin Error:", rv);
    return NORV_DAL_OK;
  }
  *flag = 1;
  return NORV_DAL_OK;
}

}  // namespace
}  // namespace dal

extern "C" {

NORV_DAL_API int32_t NORV_DAL_Login(int32_t loginType, const uint8_t* pin, int32_t pinLen) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::login(loginType, pin, pinLen);
  });
}

NORV_DAL_API int32_t NORV_DAL_Logout(int32_t loginType) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::logout(loginType);
  });
}

NORV_DAL_API int32_t NORV_DAL_IsLogin(int32_t loginType, int32_t* isLoginFlag) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::isLogin(loginType, isLoginFlag);
  });
}

}  // extern "C"

// Changing a PIN: the old PIN proves itself in the same command.
#include "access/pin_status.h"
#include "card/pin_args.h"
#include "card/pin_commands.h"
#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "device/session.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

bool pinsFit(const std::uint8_t* oldPin, std::int32_t oldLen, const std::uint8_t* newPin,
             std::int32_t newLen) {
  return pinArgFits(oldPin, oldLen, kMaxChangePins) && pinArgFits(newPin, newLen, kMaxChangePins) &&
         oldLen + newLen <= kMaxChangePins;
}

std::int32_t changePin(std::int32_t loginType, const std::uint8_t* oldPin, std::int32_t oldLen,
                       const std::uint8_t* newPin, std::int32_t newLen) {
  if (!pinsFit(oldPin, oldLen, newPin, newLen)) {
    DAL_LOG("******>pin length");
    return NORV_DAL_ERR_PARAM;
  }
  const std::int32_t sw =
      CosChangePin(DalPinKeyRef(loginType), pinSpan(oldPin, oldLen), pinSpan(newPin, newLen));
  if (sw == kSwSuccess) return NORV_DAL_OK;
  DAL_LOG("******>chk usr pin");
  return DalPinRefusal(sw, DalPinBlockedCode(loginType)).value_or(NORV_DAL_ERR_CHANGE_PIN);
}

}  // namespace
}  // namespace dal

extern "C" NORV_DAL_API int32_t NORV_DAL_ChangePin(int32_t loginType, const uint8_t* oldPin,
                                                   int32_t oldPinLen, const uint8_t* newPin,
                                                   int32_t newPinLen) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::changePin(loginType, oldPin, oldPinLen, newPin, newPinLen);
  });
}

// Unlocking the user PIN: the super PIN opens the way, then the new user
// PIN is reloaded under the unlock key.
#include "access/pin_args.h"
#include "access/pin_commands.h"
#include "access/pin_reload.h"
#include "access/pin_status.h"
#include "device/export_guard.h"
#include "device/exchange.h"
#include "device/log.h"
#include "device/session.h"
#include "files/token_layout.h"
#include "norv_dal_tkp30.h"

namespace {

std::int32_t verifySuperPin(const std::uint8_t* superPin, std::int32_t superLen) {
  const std::int32_t sw = dal::CosVerifyPin(dal::layout::kSuperPinRef,
                                            dal::pinSpan(superPin, superLen));
  if (sw == dal::kSwSuccess) return NORV_DAL_OK;
  if (auto refusal = dal::DalPinRefusal(sw, NORV_DAL_ERR_SUPER_PIN_LOCKED)) return *refusal;
  DAL_LOG("******>chk usr pin");
  return NORV_DAL_ERR_UNLOCK_SUPER_PIN;
}

std::int32_t unlockPin(const std::uint8_t* superPin, std::int32_t superLen,
                       const std::uint8_t* newPin, std::int32_t newLen) {
  if (!dal::pinArgFits(superPin, superLen, dal::kMaxVerifyPin) ||
      !dal::pinArgFits(newPin, newLen, dal::kMaxReloadPin)) {
    DAL_LOG("******>pin length");
    return NORV_DAL_ERR_PARAM;
  }
  if (std::int32_t rv = verifySuperPin(superPin, superLen); rv != NORV_DAL_OK) return rv;
  const std::int32_t sw = dal::CosReloadPin(dal::layout::asBytes(dal::layout::kUnlockKeyValue),
                                            dal::pinSpan(newPin, newLen), dal::layout::kUserPinRef);
  if (sw != dal::kSwSuccess) {
    DAL_LOG("******>ReloadVerPin Error");
    return NORV_DAL_ERR_UNLOCK_PIN;
  }
  DAL_LOG("******>ReloadVerPin Ok");
  return NORV_DAL_OK;
}

}  // namespace

extern "C" NORV_DAL_API int32_t NORV_DAL_UnlockPin(const uint8_t* superPin, int32_t superPinLen,
                                                   const uint8_t* newUserPin,
                                                   int32_t newUserPinLen) {
  return dal::guarded([&] {
    DAL_LOG("******>ReloadVerPin begin");
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return unlockPin(superPin, superPinLen, newUserPin, newUserPinLen);
  });
}

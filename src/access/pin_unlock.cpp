// Unlocking the user PIN: the super PIN opens the way, then the new user
// PIN is reloaded under the unlock key.
#include "access/pin_status.h"
#include "card/pin_args.h"
#include "card/pin_commands.h"
#include "card/pin_reload.h"
#include "card/token_layout.h"
#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "device/session.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

std::int32_t verifySuperPin(const std::uint8_t* superPin, std::int32_t superLen) {
  const std::int32_t sw = CosVerifyPin(layout::kSuperPinRef, pinSpan(superPin, superLen));
  if (sw == kSwSuccess) return NORV_DAL_OK;
  if (auto refusal = DalPinRefusal(sw, NORV_DAL_ERR_SUPER_PIN_LOCKED)) return *refusal;
  DAL_LOG("******>chk usr pin");
  return NORV_DAL_ERR_UNLOCK_SUPER_PIN;
}

std::int32_t unlockPin(const std::uint8_t* superPin, std::int32_t superLen,
                       const std::uint8_t* newPin, std::int32_t newLen) {
  if (!pinArgFits(superPin, superLen, kMaxVerifyPin) ||
      !pinArgFits(newPin, newLen, kMaxReloadPin)) {
    DAL_LOG("******>pin length");
    return NORV_DAL_ERR_PARAM;
  }
  if (std::int32_t rv = verifySuperPin(superPin, superLen); rv != NORV_DAL_OK) return rv;
  const std::int32_t sw = CosReloadPin(layout::asBytes(layout::kUnlockKeyValue),
                                       pinSpan(newPin, newLen), layout::kUserPinRef);
  if (sw != kSwSuccess) {
    DAL_LOG("******>ReloadVerPin Error");
    return NORV_DAL_ERR_UNLOCK_PIN;
  }
  DAL_LOG("******>ReloadVerPin Ok");
  return NORV_DAL_OK;
}

}  // namespace
}  // namespace dal

extern "C" NORV_DAL_API int32_t NORV_DAL_UnlockPin(const uint8_t* superPin, int32_t superPinLen,
                                                   const uint8_t* newUserPin,
                                                   int32_t newUserPinLen) {
  return dal::guarded([&] {
    DAL_LOG("******>ReloadVerPin begin");
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    return dal::unlockPin(superPin, superPinLen, newUserPin, newUserPinLen);
  });
}

#include "access/pin_status.h"

#include "card/token_layout.h"
#include "device/tries_left.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {
constexpr std::int32_t kSwTriesLeft = 0x63C0;  // low nibble: tries left
constexpr std::int32_t kSwBlocked = 0x6983;
}  // namespace

std::uint8_t DalPinKeyRef(std::int32_t loginType) {
  if (loginType == NORV_DAL_LOGIN_SUPER) return layout::kSuperPinRef;
  if (loginType == NORV_DAL_LOGIN_USER) return layout::kUserPinRef;
  return layout::kUnknownPinRef;
}

std::int32_t DalPinBlockedCode(std::int32_t loginType) {
  return loginType == NORV_DAL_LOGIN_SUPER ? NORV_DAL_ERR_SUPER_PIN_LOCKED
                                           : NORV_DAL_ERR_USER_PIN_LOCKED;
}

std::optional<std::int32_t> DalPinRefusal(std::int32_t sw, std::int32_t blockedCode) {
  if (sw == kSwTriesLeft || sw == kSwBlocked) return blockedCode;
  const std::int32_t triesLeft = sw - kSwTriesLeft;
  if (triesLeft >= 1 && triesLeft <= kMostTriesLeft) return triesLeft;
  return std::nullopt;
}

}  // namespace dal

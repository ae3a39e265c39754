#include "card/challenge.h"

#include <algorithm>

#include "device/card_codes.h"
#include "device/checked_send.h"

namespace dal {

std::int32_t CosGetChallenge(std::span<std::uint8_t> challenge) {
  const std::size_t count = std::min(challenge.size(), kMaxResponseData);
  Apdu command(kClaIso, kInsGetChallenge, 0x00, 0x00);
  command.le(static_cast<std::uint8_t>(count));
  ResponseBuffer response;
  DalSend(command, response, Route::kDirect);
  std::copy_n(response.data(), count, challenge.begin());
  return 0;
}

}  // namespace dal

#include "access/challenge.h"

#include <algorithm>

#include "device/apdu.h"
#include "device/card_codes.h"
#include "device/exchange.h"

namespace dal {
namespace {
}  // namespace

std::int32_t CosGetChallenge(std::span<std::uint8_t> challenge) {
  const std::size_t count = std::min(challenge.size(), kMaxResponseData);
  Apdu command(kClaIso, kInsGetChallenge, 0x00, 0x00);
  command.le(static_cast<std::uint8_t>(count));
  ResponseBuffer response;
  DalApduDirect(command.bytes(), response);
  std::copy_n(response.data(), count, challenge.begin());
  return 0;
}

}  // namespace dal

#include "keys/key_pair_counter.h"

#include <array>

#include "card/file_commands.h"
#include "card/token_layout.h"
#include "device/exchange.h"

namespace dal {
namespace {
constexpr std::int32_t kCounterOffset = 0;
constexpr std::int32_t kCounterLength = 2;
using CounterBytes = std::array<std::uint8_t, kCounterLength>;  // low byte first
}  // namespace

KeyPairSlot slotOf(std::uint16_t counter) {
  return {layout::kRsaPublicFileBase + std::int32_t{counter},
          layout::kRsaPrivateFileBase + std::int32_t{counter}};
}

std::optional<std::uint16_t> readKeyPairCounter() {
  if (CosSelectFileId(layout::kKeyPairCounterFileId) != kSwSuccess) return std::nullopt;
  CounterBytes bytes{};
  if (CosReadBinary(bytes.data(), kCounterOffset, kCounterLength) != 0) return std::nullopt;
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::int32_t writeKeyPairCounter(std::uint16_t counter) {
  const std::int32_t selected = CosSelectFileId(layout::kKeyPairCounterFileId);
  if (selected != kSwSuccess) return selected;
  const CounterBytes bytes{static_cast<std::uint8_t>(counter & 0xFF),
                           static_cast<std::uint8_t>(counter >> 8)};
  const std::int32_t rv = CosUpdateBinary(bytes.data(), kCounterOffset, kCounterLength);
  return rv == 0 ? kSwSuccess : rv;
}

}  // namespace dal

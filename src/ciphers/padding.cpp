#include "ciphers/padding.h"

#include <algorithm>

namespace dal::ciphers {

void padBlock(std::span<std::uint8_t> block, std::size_t used) {
  const auto value = static_cast<std::uint8_t>(block.size() - used);
  std::fill(block.begin() + static_cast<std::ptrdiff_t>(used), block.end(), value);
}

std::optional<std::size_t> paddingLength(std::span<const std::uint8_t> block) {
  const std::size_t last = block.back();
  if (last < 1 || last > block.size()) return std::nullopt;
  return last;
}

}  // namespace dal::ciphers

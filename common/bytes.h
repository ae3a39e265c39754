// Byte strings as the applications pass them around.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace common {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

}  // namespace common

// A PIN call's result from 1 up to this many is the number of tries left.
#pragma once

#include <cstdint>

namespace dal {

inline constexpr std::int32_t kMostTriesLeft = 14;

}  // namespace dal

// The blank-padded text fields of the info structures.
#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

#include "ck/ck.h"

namespace p11 {

inline constexpr std::string_view kManufacturer = "NORV";

template <std::size_t N>
void blankPadded(CK_UTF8CHAR (&field)[N], std::string_view text) {
  std::memset(field, ' ', N);
  std::memcpy(field, text.data(), std::min(N, text.size()));
}

template <std::size_t N>
void blankPadded(CK_UTF8CHAR (&field)[N], ByteView bytes) {
  std::memset(field, ' ', N);
  std::memcpy(field, bytes.data(), std::min(N, bytes.size()));
}

}  // namespace p11

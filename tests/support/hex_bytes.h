// Byte strings written the way command APDUs are read: "00 A4 02 00".
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace testhex {

inline std::vector<std::uint8_t> bytes(std::string_view hex) {
  std::vector<std::uint8_t> out;
  int high = -1;
  for (char c : hex) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  return out;
}

inline std::vector<std::uint8_t> concat(std::vector<std::uint8_t> a,
                                        const std::vector<std::uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline std::vector<std::uint8_t> ascii(std::string_view text) {
  return {text.begin(), text.end()};
}

}  // namespace testhex

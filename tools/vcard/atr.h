// The virtual card's answer to reset: direct convention, T=0 and T=1
// offered (a reader that can picks T=1), "TKP30" as historical bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vcard {

namespace detail {

// clang-format off
inline constexpr std::array<std::uint8_t, 9> kAtrBody = {
    0x3B,        // TS: direct convention
    0x85,        // T0: TD1 follows, 5 historical bytes
    0x80,        // TD1: TD2 follows, T=0
    0x01,        // TD2: T=1
    'T', 'K', 'P', '3', '0'};
// clang-format on

// TCK makes the exclusive-or of T0 up to and including TCK zero; it is
// due because T=1 is offered.
constexpr std::uint8_t checkByte() {
  std::uint8_t tck = 0;
  for (std::size_t i = 1; i < kAtrBody.size(); ++i)
    tck = static_cast<std::uint8_t>(tck ^ kAtrBody[i]);
  return tck;
}

}  // namespace detail

inline constexpr std::array<std::uint8_t, detail::kAtrBody.size() + 1> kAtr = [] {
  std::array<std::uint8_t, detail::kAtrBody.size() + 1> atr{};
  for (std::size_t i = 0; i < detail::kAtrBody.size(); ++i) atr[i] = detail::kAtrBody[i];
  atr.back() = detail::checkByte();
  return atr;
}();

}  // namespace vcard

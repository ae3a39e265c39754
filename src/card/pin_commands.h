// The card's PIN commands: VERIFY and CHANGE PIN. Both go through the
// exchange and return its status word; callers check the lengths first.
#pragma once

#include <cstdint>
#include <span>

namespace dal {

// VERIFY 00 20 <keyRef> 00 Lc PIN.
std::int32_t CosVerifyPin(std::uint8_t keyRef, std::span<const std::uint8_t> pin);

// CHANGE PIN 80 5E 01 <keyRef> Lc 81 <old length> old 82 <new length> new.
std::int32_t CosChangePin(std::uint8_t keyRef, std::span<const std::uint8_t> oldPin,
                          std::span<const std::uint8_t> newPin);

}  // namespace dal

// PIN arguments as callers pass them (pointer and signed length), checked
// against what the command that carries them can hold.
#pragma once

#include <cstdint>
#include <span>

#include "card/write_key.h"

namespace dal {

// VERIFY carries at most this many PIN bytes.
inline constexpr std::int32_t kMaxVerifyPin = 55;
// CHANGE PIN carries old and new PIN together up to this many bytes.
inline constexpr std::int32_t kMaxChangePins = 51;
// The reload's PIN block holds the length byte and at most this many bytes.
inline constexpr std::int32_t kMaxReloadPin = 15;
// A key record's value field holds at most this many PIN bytes.
inline constexpr std::int32_t kMaxKeyValue = static_cast<std::int32_t>(kKeyValueBytes);

// True when `length` is 0..`maxLength` and the bytes are there to read.
inline bool pinArgFits(const std::uint8_t* pin, std::int32_t length, std::int32_t maxLength) {
  return length >= 0 && length <= maxLength && (pin != nullptr || length == 0);
}

// The caller's PIN as a span; only for arguments that passed pinArgFits.
inline std::span<const std::uint8_t> pinSpan(const std::uint8_t* pin, std::int32_t length) {
  if (length <= 0) return {};
  return {pin, static_cast<std::size_t>(length)};
}

}  // namespace dal

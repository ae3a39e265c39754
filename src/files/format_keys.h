// The keys and PINs formatting writes into the key file, in order, each
// with the log line of its failure.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "card/token_layout.h"
#include "card/write_key.h"

namespace dal {

struct FormatKey {
  layout::KeyHeader header;
  std::span<const std::uint8_t> value;
  const char* logText;
};

inline constexpr std::size_t kFormatKeyCount = 9;

// The table in writing order; the two PINs are the caller's.
std::array<FormatKey, kFormatKeyCount> formatKeys(std::span<const std::uint8_t> superPin,
                                                  std::span<const std::uint8_t> userPin);

// Lays one key out as the WRITE KEY input. The value must fit the
// record's 128 bytes.
void fillKeyRecord(const FormatKey& key, CosKeyRecord& record);

}  // namespace dal

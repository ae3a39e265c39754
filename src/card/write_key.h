// WRITE KEY: one key or PIN record into the key file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace dal {

// A key record's value field holds at most this many bytes.
inline constexpr std::size_t kKeyValueBytes = 128;

// The input of WRITE KEY.
struct CosKeyRecord {
  std::uint8_t keyId = 0;
  std::uint8_t keyType = 0;
  std::array<std::uint8_t, 5> params{};
  std::uint8_t firstHalf = 0;   // high nibble of the eighth header byte
  std::uint8_t secondHalf = 0;  // low nibble of the eighth header byte
  std::array<std::uint8_t, kKeyValueBytes> value{};
  std::uint8_t valueLen = 0;
  ~CosKeyRecord();  // key values and PINs are wiped
};

// 80 D4 00 00 Lc, the eight header bytes and the value (at most
// kKeyValueBytes of it). Returns the status word.
std::int32_t CosWriteKey(const CosKeyRecord& record);

}  // namespace dal

// What the device library reads in a command APDU: the header and Lc
// positions, the longest short command, and the class and instruction
// bytes of the commands its trace masks or follows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dmcos::apdu {

inline constexpr std::size_t kHeaderLen = 4;  // CLA INS P1 P2
inline constexpr std::size_t kLcAt = kHeaderLen;
inline constexpr std::size_t kMaxData = 255;
// The header, Lc, the data and Le.
inline constexpr std::size_t kMaxCommand = kHeaderLen + 1 + kMaxData + 1;

inline constexpr std::uint8_t kClaIso = 0x00;
inline constexpr std::uint8_t kClaProprietary = 0x80;
inline constexpr std::uint8_t kClaSecured = 0x84;

inline constexpr std::uint8_t kInsVerify = 0x20;
inline constexpr std::uint8_t kInsReloadPin = 0x24;
inline constexpr std::uint8_t kInsChangePin = 0x5E;
inline constexpr std::uint8_t kInsPrivateOperation = 0x72;
inline constexpr std::uint8_t kInsImportComponent = 0x76;
inline constexpr std::uint8_t kInsGetResponse = 0xC0;
inline constexpr std::uint8_t kInsSsf33LoadKey = 0xC2;
inline constexpr std::uint8_t kInsSsf33CipherBlock = 0xC4;
inline constexpr std::uint8_t kInsWriteKey = 0xD4;

}  // namespace dmcos::apdu

// The class and instruction bytes of the card's command set, in one place.
#pragma once

#include <cstdint>

namespace dal {

// Class bytes.
inline constexpr std::uint8_t kClaIso = 0x00;          // ISO/IEC 7816-4 commands
inline constexpr std::uint8_t kClaProprietary = 0x80;  // the card's own commands
inline constexpr std::uint8_t kClaSecured = 0x84;      // with secure messaging

// ISO/IEC 7816-4 instructions.
inline constexpr std::uint8_t kInsVerify = 0x20;
inline constexpr std::uint8_t kInsExternalAuth = 0x82;
inline constexpr std::uint8_t kInsGetChallenge = 0x84;
inline constexpr std::uint8_t kInsSelectFile = 0xA4;
inline constexpr std::uint8_t kInsReadBinary = 0xB0;
inline constexpr std::uint8_t kInsGetResponse = 0xC0;
inline constexpr std::uint8_t kInsUpdateBinary = 0xD6;
inline constexpr std::uint8_t kInsDeleteFile = 0xE4;

// The card's own instructions.
inline constexpr std::uint8_t kInsReloadPin = 0x24;  // with kClaSecured
inline constexpr std::uint8_t kInsChangePin = 0x5E;
inline constexpr std::uint8_t kInsGenerateKeyPair = 0x70;
inline constexpr std::uint8_t kInsPrivateOperation = 0x72;
inline constexpr std::uint8_t kInsImportComponent = 0x76;
inline constexpr std::uint8_t kInsReadComponent = 0x78;
inline constexpr std::uint8_t kInsSsf33LoadKey = 0xC2;
inline constexpr std::uint8_t kInsSsf33CipherBlock = 0xC4;
inline constexpr std::uint8_t kInsSsf33End = 0xC6;
inline constexpr std::uint8_t kInsWriteKey = 0xD4;
inline constexpr std::uint8_t kInsCreateFile = 0xE0;

}  // namespace dal

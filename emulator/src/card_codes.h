// The card's own numbers: status words, class and instruction bytes, the
// security states a PIN leaves, and the marks of a complete RSA file.
#pragma once

#include <cstdint>

namespace tkp30emu::card {

// Status words.
constexpr std::uint16_t kOk = 0x9000;
constexpr std::uint16_t kMoreData = 0x6100;   // low byte: bytes waiting for GET RESPONSE
constexpr std::uint16_t kTriesLeft = 0x63C0;  // low nibble: tries left
constexpr std::uint16_t kMemoryFailure = 0x6581;
constexpr std::uint16_t kWrongLength = 0x6700;
constexpr std::uint16_t kIncompatibleFile = 0x6981;
constexpr std::uint16_t kSecurity = 0x6982;
constexpr std::uint16_t kBlocked = 0x6983;
constexpr std::uint16_t kConditions = 0x6985;
constexpr std::uint16_t kNoCurrentEf = 0x6986;
constexpr std::uint16_t kBadSm = 0x6988;
constexpr std::uint16_t kBadData = 0x6A80;
constexpr std::uint16_t kFileNotFound = 0x6A82;
constexpr std::uint16_t kNoSpace = 0x6A84;
constexpr std::uint16_t kBadP1P2 = 0x6A86;
constexpr std::uint16_t kKeyNotFound = 0x6A88;
constexpr std::uint16_t kFileExists = 0x6A89;
constexpr std::uint16_t kBadOffset = 0x6B00;
constexpr std::uint16_t kBadIns = 0x6D00;
constexpr std::uint16_t kBadCla = 0x6E00;

// Class bytes.
constexpr std::uint8_t kClaIso = 0x00;
constexpr std::uint8_t kClaProprietary = 0x80;
constexpr std::uint8_t kClaSecured = 0x84;

// Instruction bytes.
constexpr std::uint8_t kInsVerify = 0x20;
constexpr std::uint8_t kInsReloadPin = 0x24;
constexpr std::uint8_t kInsChangePin = 0x5E;
constexpr std::uint8_t kInsGenerateKeyPair = 0x70;
constexpr std::uint8_t kInsPrivateOperation = 0x72;
constexpr std::uint8_t kInsImportComponent = 0x76;
constexpr std::uint8_t kInsReadComponent = 0x78;
constexpr std::uint8_t kInsExternalAuth = 0x82;
constexpr std::uint8_t kInsGetChallenge = 0x84;
constexpr std::uint8_t kInsSelectFile = 0xA4;
constexpr std::uint8_t kInsReadBinary = 0xB0;
constexpr std::uint8_t kInsGetResponse = 0xC0;
constexpr std::uint8_t kInsSsf33LoadKey = 0xC2;
constexpr std::uint8_t kInsSsf33Cipher = 0xC4;
constexpr std::uint8_t kInsSsf33End = 0xC6;
constexpr std::uint8_t kInsWriteKey = 0xD4;
constexpr std::uint8_t kInsUpdateBinary = 0xD6;
constexpr std::uint8_t kInsCreateFile = 0xE0;
constexpr std::uint8_t kInsDeleteFile = 0xE4;

// The security state: what the last successful VERIFY left.
constexpr std::uint8_t kStateNone = 0x00;   // power-up, the logout PIN, any other PIN
constexpr std::uint8_t kStateUser = 0x0A;   // the user PIN
constexpr std::uint8_t kStateSuper = 0x0C;  // the super PIN
constexpr std::uint8_t kSuperPinRef = 0x10;
constexpr std::uint8_t kUserPinRef = 0x11;

// What Volatile::currentKind holds.
constexpr std::uint8_t kCurrentNone = 0;
constexpr std::uint8_t kCurrentMf = 1;
constexpr std::uint8_t kCurrentEf = 2;

// Key types and the key that guards the PIN reload.
constexpr std::uint8_t kExtAuthKeyType = 0x01;
constexpr std::uint8_t kPinType = 0x03;
constexpr std::uint8_t kUnlockKeyId = 0x06;

// An RSA file's `present` bits (bit i-1: component i loaded) once complete.
constexpr std::uint8_t kPublicComplete = 0x03;   // exponent and modulus
constexpr std::uint8_t kPrivateComplete = 0x7C;  // p, q, dP, dQ, qInv

// File identifiers no EF may take: the MF's and the reserved FFFF.
constexpr std::uint16_t kMfId = 0x3F00;
constexpr std::uint16_t kReservedId = 0xFFFF;

}  // namespace tkp30emu::card

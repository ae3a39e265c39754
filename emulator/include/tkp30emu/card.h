// The card operating system of the emulated TKP30, free of storage and
// sharing: persistent state + volatile state + one command APDU in, one
// response out. Used by the Token (emulator/src/token.cpp), by the unit
// tests and by the fuzz target. Not part of the device library's API.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "tkp30emu/token.h"

namespace tkp30emu {

using Bytes = std::vector<std::uint8_t>;

// File types of CREATE FILE (first byte of the EF record).
enum FileType : std::uint8_t {
  kTransparent = 0x21,
  kKeyFile = 0x25,
  kRsaPublic = 0x30,
  kRsaPrivate = 0x31,
};

// Bounded file space: the sum of the charges of all files (see README).
constexpr std::size_t kCapacity = std::size_t{64} * 1024;
constexpr std::size_t kFileOverhead = 16;    // charged per file
constexpr std::size_t kKeyFileCharge = 768;  // 32 records of 24 bytes
constexpr std::size_t kMaxKeys = 32;
constexpr std::size_t kMfHeaderBytes = 13;
constexpr std::size_t kMaxMfName = 16;
constexpr std::size_t kMaxKeyValue = 128;
constexpr std::size_t kRsaBytes = 128;  // 1024-bit keys only
constexpr std::size_t kRsaHalf = 64;    // one CRT component
constexpr std::size_t kCrtComponents = 5;
constexpr std::size_t kExponentBytes = 4;  // the public exponent, low byte first
constexpr std::size_t kRsaPublicData = kExponentBytes + kRsaBytes;
constexpr std::size_t kRsaPrivateData = kCrtComponents * kRsaHalf;
// Challenge bytes a later command can use, and the SM4 block and key.
constexpr std::size_t kChallengeBytes = 8;
constexpr std::size_t kSm4Block = 16;

struct ElementaryFile {
  std::uint8_t type = kTransparent;
  std::uint16_t size = 0;                // transparent: bytes; others: the size field as sent
  std::array<std::uint8_t, 4> access{};  // read, write, two further bytes
  // Transparent: `size` bytes. RSA public: exponent + modulus
  // (kRsaPublicData). RSA private: p, q, dP, dQ, qInv (kRsaPrivateData).
  // Key file: empty.
  Bytes data;
  std::uint8_t present = 0;  // RSA files: bit i-1 = component i loaded
  bool operator==(const ElementaryFile&) const = default;
};

struct KeyRecord {
  std::uint8_t type = 0;
  std::array<std::uint8_t, 5> params{};
  std::uint8_t maxTries = 0;  // high half of the eighth header byte
  std::uint8_t tries = 0;     // low half: for PINs, the remaining tries
  Bytes value;
  bool operator==(const KeyRecord&) const = default;
};

// Everything the token keeps across power cycles (the token image).
struct Persistent {
  TokenOptions options;
  bool mfExists = false;
  std::array<std::uint8_t, kMfHeaderBytes> mfHeader{};
  Bytes mfName;
  std::map<std::uint16_t, ElementaryFile> files;
  std::map<std::uint8_t, KeyRecord> keys;  // the key file's records

  std::size_t usedSpace() const;
  bool operator==(const Persistent&) const = default;
};

// Everything lost on power-down. Plain data of fixed size: it lives in a
// shared mapping between processes.
struct Volatile {
  std::uint8_t securityState = 0;     // 0, 0xA (user PIN), 0xC (super PIN)
  std::uint8_t extAuthenticated = 0;  // an EXTERNAL AUTHENTICATE succeeded
  std::uint8_t currentKind = 0;       // 0 none, 1 MF, 2 EF
  std::uint8_t challengeLen = 0;      // 0: no challenge valid
  std::uint16_t currentEf = 0;
  std::uint8_t challenge[kChallengeBytes] = {};
  // SSF33 (SM4) cipher state.
  std::uint8_t cipherLoaded = 0;
  std::uint8_t cipherCbc = 0;
  std::uint8_t cipherDecrypt = 0;
  std::uint8_t cipherKey[kSm4Block] = {};
  std::uint8_t cipherChain[kSm4Block] = {};
  // Response held for GET RESPONSE (T=0).
  std::uint16_t pendingLen = 0;
  std::uint8_t pendingValid = 0;
  std::uint8_t pending[kMaxResponseData] = {};
};

// Pluggable RSA key generation (the fuzz target swaps in a fast one).
// Fills p, q, dP, dQ, qInv (64 bytes each, big-endian) and the modulus.
using RsaGenerator = bool (*)(std::uint8_t modulus[kRsaBytes],
                              std::uint8_t crt[kCrtComponents][kRsaHalf]);
bool generateRsa1024(std::uint8_t modulus[kRsaBytes], std::uint8_t crt[kCrtComponents][kRsaHalf]);

struct CardResult {
  Response response;
  bool persistentChanged = false;  // the caller must commit `p` before answering
};

// Makes the persistent state durable in the middle of a command; false
// when it could not be kept. A PIN presentation spends its try this way
// before the PIN is compared, and answers 6581 (the PIN uncompared,
// nothing else changed) when the try could not be recorded. Without one,
// the state lives in memory only and every such write succeeds.
using Persist = std::function<bool(const Persistent&)>;

// Runs one command APDU. Never throws, for any input.
CardResult runCommand(Persistent& p, Volatile& v, std::span<const std::uint8_t> apdu,
                      RsaGenerator gen = &generateRsa1024, const Persist& persist = {});

// The token image codec: magic, version, length, SHA-256, payload.
Bytes encodeImage(const Persistent& p);
// False (and `error` set) when the bytes are not a valid image.
bool decodeImage(std::span<const std::uint8_t> image, Persistent& p, std::string& error);

}  // namespace tkp30emu

// The card's RSA and random-number commands. The builders neither open the
// token nor log; their callers do both. Each returns the status word (0
// when the command could not be carried) and leaves the response data in
// the caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "device/exchange.h"

namespace dal {

// Every key on the token is 1024 bits: one block of 128 bytes.
inline constexpr std::size_t kRsaBlockBytes = 128;
inline constexpr std::size_t kRsaCrtComponentBytes = 64;

// Component indices of IMPORT RSA KEY COMPONENT.
enum class RsaComponent : std::uint8_t {
  kPublicExponent = 1,
  kModulus = 2,
  kPrime1 = 3,
  kPrime2 = 4,
  kExponent1 = 5,
  kExponent2 = 6,
  kCoefficient = 7,
};

// The card holds the public exponent 65537 low byte first.
inline constexpr std::uint8_t kCardPublicExponent[] = {0x01, 0x00, 0x01, 0x00};

// One GET CHALLENGE answers into an 80-byte buffer whose first two bytes
// are the device library's: at most 78 random bytes per command.
inline constexpr std::size_t kChallengeBufferBytes = 80;
inline constexpr std::size_t kMaxChallengeBytes = kChallengeBufferBytes - kResponseHeader;

// GENERATE RSA KEY PAIR into the two files named.
std::int32_t CosGenerateRsaKeyPair(std::uint16_t publicFileId, std::uint16_t privateFileId);

// IMPORT RSA KEY COMPONENT into the file selected last.
std::int32_t CosImportRsaComponent(RsaComponent component, std::span<const std::uint8_t> value);

// READ RSA KEY COMPONENT of the modulus of the file selected last.
std::int32_t CosReadRsaModulus(ResponseBuffer& response);

// RSA PRIVATE OPERATION on one block with the private-key file named;
// the file is not selected first.
std::int32_t CosRsaPrivateOperation(std::uint16_t privateFileId,
                                    std::span<const std::uint8_t, kRsaBlockBytes> block,
                                    ResponseBuffer& response);

// GET CHALLENGE of `count` random bytes (at most kMaxChallengeBytes).
std::int32_t CosGetChallengeBytes(std::uint8_t count, ResponseBuffer& response);

}  // namespace dal

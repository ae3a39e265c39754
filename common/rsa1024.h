// The token's RSA keys: 1024 bits with the public exponent 65537. The
// token applies a private key to a whole block and pads nothing itself,
// so the PKCS #1 v1.5 blocks around it are built and taken apart here.
#pragma once

#include <array>
#include <optional>

#include "common/bytes.h"
#include "common/secret_bytes.h"

namespace common {

inline constexpr std::int32_t kModulusBits = 1024;
inline constexpr std::size_t kModulusBytes = 128;
inline constexpr std::size_t kCrtComponentBytes = 64;
inline constexpr unsigned long kPublicExponent = 65537;
inline constexpr std::array<std::uint8_t, 3> kPublicExponentBytes = {0x01, 0x00, 0x01};

using RsaBlock = std::array<std::uint8_t, kModulusBytes>;
using Modulus = RsaBlock;  // big-endian
using RsaBlockView = std::span<const std::uint8_t, kModulusBytes>;

// 00 01 FF.. 00 data: the block the private key turns into a PKCS #1 v1.5
// signature of `data` (a DigestInfo, or what the caller signs raw).
// Nothing when data leaves fewer than the eight padding bytes it needs.
std::optional<RsaBlock> signatureBlock(ByteView data);

// The largest message a 00 02 PS 00 M block holds.
inline constexpr std::size_t kMaxEncryptedMessage = kModulusBytes - 11;

// The message of a decrypted 00 02 PS 00 M block (PS at least eight
// nonzero bytes), in constant time: its length, or -1 when the block is not
// such a block or M does not fit in out. out is written in full whatever
// the outcome, so that nothing tells a caller's timing what the block held.
int removeEncryptionPadding(RsaBlockView block, std::span<std::uint8_t> out);
// The same, as the message itself.
std::optional<SecretBytes> encryptedMessage(RsaBlockView block);

}  // namespace common

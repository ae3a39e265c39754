// PKCS #1 v1.5 blocks around the token's raw private-key operation: the
// token applies the key to a whole block and pads nothing itself.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "token_layout.h"

namespace tkp30 {

using Sha256 = std::array<std::uint8_t, 32>;
using RsaBlock = std::array<std::uint8_t, kModulusBytes>;

// DER of SEQUENCE { SEQUENCE { OID sha256, NULL }, OCTET STRING (32) }.
inline constexpr std::array<std::uint8_t, 19> kSha256DigestInfoPrefix = {
    0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
    0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};

// DigestInfo for SHA-256 followed by the digest: what a signature carries.
std::vector<std::uint8_t> sha256DigestInfo(const Sha256& digest);

// 00 01 FF… 00 DigestInfo: the block the private key turns into a
// signature that `openssl dgst -sha256 -verify` accepts.
RsaBlock signatureBlock(const Sha256& digest);
// The same around any DigestInfo; nothing when it leaves no room for the
// eight bytes of padding the block needs at least.
std::optional<RsaBlock> signatureBlock(std::span<const std::uint8_t> digestInfo);

// The message inside a decrypted 00 02 PS 00 M block (PS at least eight
// nonzero bytes), or nothing when the block is not of that form.
std::optional<std::vector<std::uint8_t>> unpadEncryptionBlock(std::span<const std::uint8_t> block);

}  // namespace tkp30

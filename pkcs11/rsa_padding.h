// The blocks the token's raw private-key operation turns into signatures,
// and the padding removed from what it decrypts. All for 1024-bit keys.
#pragma once

#include <array>

#include "hashes.h"
#include "reserved_files.h"

namespace p11 {

using Block = std::array<std::uint8_t, kModulusBytes>;

// 00 01 FF.. 00 data: false when data leaves fewer than 8 padding bytes.
bool pkcs1SignatureBlock(ByteView data, Block& block);

// The DigestInfo a PKCS #1 v1.5 signature carries for this digest.
Bytes digestInfo(const HashInfo& hash, ByteView digest);

// EMSA-PSS encoding of a message hash with a salt of salt.size() bytes;
// false when hash and salt do not fit the block.
bool pssBlock(const HashInfo& hash, const HashInfo& mgf, ByteView messageHash, ByteView salt,
              Block& block);

// The largest PSS salt for this hash in a 1024-bit block.
std::size_t maxPssSalt(const HashInfo& hash);

// The message of a 00 02 PS 00 M block with PS of at least 8 bytes, in
// constant time: its length, or -1 when the block is not such a block or
// M does not fit in out. out is written in full whatever the outcome.
int removeEncryptionPadding(const Block& block, std::span<std::uint8_t> out);

// The message of an OAEP block (libcrypto's constant-time check); -1 when
// the block does not decode or the message does not fit in out.
int removeOaepPadding(const Block& block, const HashInfo& hash, const HashInfo& mgf, ByteView label,
                      std::span<std::uint8_t> out);

}  // namespace p11

// The PSS and OAEP paddings around the token's raw private-key operation;
// PKCS #1 v1.5 blocks are common/rsa1024.h's. All for 1024-bit keys.
#pragma once

#include "crypto/hashes.h"

namespace p11 {

// EMSA-PSS encoding of a message hash with a salt of salt.size() bytes;
// false when hash and salt do not fit the block.
bool pssBlock(const HashInfo& hash, const HashInfo& mgf, ByteView messageHash, ByteView salt,
              Block& block);

// The largest PSS salt for this hash in a 1024-bit block.
std::size_t maxPssSalt(const HashInfo& hash);

// The message of an OAEP block (libcrypto's constant-time check); -1 when
// the block does not decode or the message does not fit in out.
int removeOaepPadding(ByteView block, const HashInfo& hash, const HashInfo& mgf, ByteView label,
                      std::span<std::uint8_t> out);

}  // namespace p11

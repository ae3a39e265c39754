// EXTERNAL AUTHENTICATE: the card's 8-byte challenge, encrypted under a
// two-key triple-DES key it holds, proves that key. The challenge and the
// answer go directly, so that no GET RESPONSE comes between them.
#pragma once

#include <cstdint>
#include <span>

namespace dal {

// GET CHALLENGE (8 bytes), then 00 82 00 <keyId> 08 and the cryptogram.
// `key` holds the 16 key bytes. Returns the status word of the answer.
std::int32_t CosExternalAuthenticate(std::uint8_t keyId, std::span<const std::uint8_t> key);

}  // namespace dal

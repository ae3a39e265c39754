// PKCS #5 / PKCS #7 padding of a last block, for any block size up to 255.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace dal::ciphers {

// Fills `block` after its first `used` bytes with bytes of value
// block.size() - used (a whole block of that value when `used` is 0).
void padBlock(std::span<std::uint8_t> block, std::size_t used);

// The padding length named by the last byte of a decrypted block, when it
// lies in 1..block.size(). Only that byte is examined.
std::optional<std::size_t> paddingLength(std::span<const std::uint8_t> block);

}  // namespace dal::ciphers

// The DES cryptograms of the secured commands: single DES in ECB or CBC
// and two-key triple DES in ECB, over whole 8-byte blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "card/des_primitive.h"

namespace dal {

inline constexpr std::uint32_t kDesEcb = 0;   // single DES, key bytes 0..7
inline constexpr std::uint32_t kDesCbc = 1;   // single DES, IV updated
inline constexpr std::uint32_t kDes3Ecb = 3;  // E(K1) D(K2) E(K1), K1 K2 = 16 key bytes
inline constexpr int kDesDecrypt = 0;
inline constexpr int kDesEncrypt = 1;
inline constexpr std::size_t kDesBlock = des::kBlock;
inline constexpr std::int32_t kDesRefused = -1;

// Encrypts (direction 1) or decrypts (0) `input` into `output`, which may
// be the same buffer. In CBC mode `iv` holds 8 bytes and is left holding
// the last ciphertext block. Returns 0, or -1 with nothing computed for
// an unsupported mode, a key too short for the mode, an input that is not
// whole blocks, an output shorter than the input or a missing IV.
std::int32_t DalDesCrypt(std::span<const std::uint8_t> key, std::span<std::uint8_t> iv,
                         std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                         int direction, std::uint32_t mode);

}  // namespace dal

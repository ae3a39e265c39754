// Cryptographic primitives of the emulated card (OpenSSL 3).
#pragma once

#include <cstddef>
#include <cstdint>

#include "tkp30emu/card.h"

namespace tkp30emu::crypto {

// Two-key triple DES (K1 K2 K1), ECB, one 8-byte block.
void tdesEcb(const std::uint8_t key[16], const std::uint8_t in[8], std::uint8_t out[8],
             bool encrypt);
// ISO/IEC 9797-1 MAC algorithm 3 (retail MAC) over `len` bytes (a multiple
// of 8, already padded), initial value `iv`; writes the 8-byte result.
void retailMac(const std::uint8_t key[16], const std::uint8_t iv[8], const std::uint8_t* data,
               std::size_t len, std::uint8_t out[8]);
// SM4 of one 16-byte block with a 128-bit key. False on a library failure.
bool sm4Block(const std::uint8_t key[16], const std::uint8_t in[16], std::uint8_t out[16],
              bool encrypt);
// Raw RSA private operation from CRT components (64 bytes each, big-endian).
// `in` and `out` are kRsaBytes big-endian. False when the components are
// unusable or the input is not below the modulus.
bool rsaCrt(const std::uint8_t crt[kCrtComponents][kRsaHalf], const std::uint8_t in[kRsaBytes],
            std::uint8_t out[kRsaBytes]);
// Random bytes from the OpenSSL generator; false when it failed.
[[nodiscard]] bool randomBytes(std::uint8_t* out, std::size_t len);
// SHA-256.
void sha256(const std::uint8_t* data, std::size_t len, std::uint8_t out[32]);

}  // namespace tkp30emu::crypto

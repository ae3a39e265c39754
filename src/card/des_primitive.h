// The library's one road to libcrypto's low-level DES: key schedules, and
// whole 8-byte blocks in ECB or as one CBC run, with one key (single DES)
// or three schedules (triple DES, encrypt-decrypt-encrypt). The secured
// card commands and the software DES calls both compute through it.
#pragma once

#ifndef OPENSSL_SUPPRESS_DEPRECATED  // libcrypto's DES_* interfaces are deprecated in OpenSSL 3
#define OPENSSL_SUPPRESS_DEPRECATED
#endif
#include <openssl/des.h>

#include <cstddef>
#include <cstdint>

namespace dal::des {

inline constexpr std::size_t kBlock = 8;

// The schedules of one operation: k2 and k3 stay null for single DES.
struct Keys {
  DES_key_schedule* k1 = nullptr;
  DES_key_schedule* k2 = nullptr;
  DES_key_schedule* k3 = nullptr;
};

// The schedule of the 8 key bytes at `key`: parity ignored, weak keys
// accepted.
void makeSchedule(const std::uint8_t* key, DES_key_schedule& schedule);

// `len` bytes (whole blocks) block by block; `in` and `out` may be the
// same buffer.
void ecb(const Keys& keys, const std::uint8_t* in, std::uint8_t* out, std::size_t len,
         bool encrypt);

// One CBC run of `len` bytes (whole blocks); `iv` is left holding the
// last ciphertext block.
void cbc(const Keys& keys, DES_cblock& iv, const std::uint8_t* in, std::uint8_t* out, long len,
         bool encrypt);

}  // namespace dal::des

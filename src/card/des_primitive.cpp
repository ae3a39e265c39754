#include "card/des_primitive.h"

#include <openssl/crypto.h>

#include <cstring>

namespace dal::des {
namespace {

int direction(bool encrypt) { return encrypt ? DES_ENCRYPT : DES_DECRYPT; }

}  // namespace

void makeSchedule(const std::uint8_t* key, DES_key_schedule& schedule) {
  DES_cblock block;
  std::memcpy(block, key, sizeof block);
  DES_set_key_unchecked(&block, &schedule);
  OPENSSL_cleanse(block, sizeof block);
}

void ecb(const Keys& keys, const std::uint8_t* in, std::uint8_t* out, std::size_t len,
         bool encrypt) {
  const int enc = direction(encrypt);
  for (std::size_t at = 0; at < len; at += kBlock) {
    // libcrypto's const_DES_cblock is not const-qualified; the input is only read.
    auto* src = reinterpret_cast<const_DES_cblock*>(const_cast<std::uint8_t*>(in + at));
    auto* dst = reinterpret_cast<DES_cblock*>(out + at);
    if (keys.k2 == nullptr)
      DES_ecb_encrypt(src, dst, keys.k1, enc);
    else
      DES_ecb3_encrypt(src, dst, keys.k1, keys.k2, keys.k3, enc);
  }
}

void cbc(const Keys& keys, DES_cblock& iv, const std::uint8_t* in, std::uint8_t* out, long len,
         bool encrypt) {
  const int enc = direction(encrypt);
  if (keys.k2 == nullptr)
    DES_ncbc_encrypt(in, out, len, keys.k1, &iv, enc);
  else
    DES_ede3_cbc_encrypt(in, out, len, keys.k1, keys.k2, keys.k3, &iv, enc);
}

}  // namespace dal::des

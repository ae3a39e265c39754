#define OPENSSL_SUPPRESS_DEPRECATED
#include "emu_crypto.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/des.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include <cstring>
#include <memory>

#include "tkp30emu/card.h"

namespace tkp30emu::crypto {
namespace {

void desKey(const std::uint8_t k[8], DES_key_schedule& ks) {
  DES_cblock b;
  std::memcpy(b, k, 8);
  DES_set_key_unchecked(&b, &ks);
}

void desBlock(const DES_key_schedule& ks, const std::uint8_t in[8], std::uint8_t out[8],
              bool encrypt) {
  DES_cblock i, o;
  std::memcpy(i, in, 8);
  DES_ecb_encrypt(&i, &o, const_cast<DES_key_schedule*>(&ks), encrypt ? DES_ENCRYPT : DES_DECRYPT);
  std::memcpy(out, o, 8);
}

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
struct BnCtxFree {
  void operator()(BN_CTX* c) const { BN_CTX_free(c); }
};

const EVP_CIPHER* sm4Cipher() {
  static const EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "SM4-ECB", nullptr);
  return cipher;
}

}  // namespace

void tdesEcb(const std::uint8_t key[16], const std::uint8_t in[8], std::uint8_t out[8],
             bool encrypt) {
  DES_key_schedule k1, k2;
  desKey(key, k1);
  desKey(key + 8, k2);
  DES_cblock i, o;
  std::memcpy(i, in, 8);
  DES_ecb3_encrypt(&i, &o, &k1, &k2, &k1, encrypt ? DES_ENCRYPT : DES_DECRYPT);
  std::memcpy(out, o, 8);
}

void retailMac(const std::uint8_t key[16], const std::uint8_t iv[8], const std::uint8_t* data,
               std::size_t len, std::uint8_t out[8]) {
  DES_key_schedule k1, k2;
  desKey(key, k1);
  desKey(key + 8, k2);
  std::uint8_t y[8];
  std::memcpy(y, iv, 8);
  for (std::size_t off = 0; off + 8 <= len; off += 8) {
    for (int j = 0; j < 8; ++j)
      y[j] = static_cast<std::uint8_t>(y[j] ^ data[off + static_cast<std::size_t>(j)]);
    desBlock(k1, y, y, true);
  }
  desBlock(k2, y, y, false);
  desBlock(k1, y, y, true);
  std::memcpy(out, y, 8);
}

bool sm4Block(const std::uint8_t key[16], const std::uint8_t in[16], std::uint8_t out[16],
              bool encrypt) {
  thread_local std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
  const EVP_CIPHER* cipher = sm4Cipher();
  if (!ctx || !cipher) return false;
  if (EVP_CipherInit_ex2(ctx.get(), cipher, key, nullptr, encrypt ? 1 : 0, nullptr) != 1)
    return false;
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  int outl = 0;
  if (EVP_CipherUpdate(ctx.get(), out, &outl, in, 16) != 1 || outl != 16) return false;
  return true;
}

bool rsaCrt(const std::uint8_t crt[kCrtComponents][kRsaHalf], const std::uint8_t in[kRsaBytes],
            std::uint8_t out[kRsaBytes]) {
  std::unique_ptr<BN_CTX, BnCtxFree> ctx(BN_CTX_new());
  if (!ctx) return false;
  BN_CTX_start(ctx.get());
  BIGNUM* p = BN_CTX_get(ctx.get());
  BIGNUM* q = BN_CTX_get(ctx.get());
  BIGNUM* dp = BN_CTX_get(ctx.get());
  BIGNUM* dq = BN_CTX_get(ctx.get());
  BIGNUM* qinv = BN_CTX_get(ctx.get());
  BIGNUM* n = BN_CTX_get(ctx.get());
  BIGNUM* c = BN_CTX_get(ctx.get());
  BIGNUM* m1 = BN_CTX_get(ctx.get());
  BIGNUM* m2 = BN_CTX_get(ctx.get());
  BIGNUM* h = BN_CTX_get(ctx.get());
  bool ok = false;
  do {
    if (!h) break;
    constexpr int kHalf = static_cast<int>(kRsaHalf);
    if (!BN_bin2bn(crt[0], kHalf, p) || !BN_bin2bn(crt[1], kHalf, q) ||
        !BN_bin2bn(crt[2], kHalf, dp) || !BN_bin2bn(crt[3], kHalf, dq) ||
        !BN_bin2bn(crt[4], kHalf, qinv) || !BN_bin2bn(in, kRsaBytes, c))
      break;
    // Odd primes above 1 are required for Montgomery arithmetic.
    if (BN_cmp(p, BN_value_one()) <= 0 || BN_cmp(q, BN_value_one()) <= 0 || !BN_is_odd(p) ||
        !BN_is_odd(q))
      break;
    if (!BN_mul(n, p, q, ctx.get())) break;
    if (BN_num_bytes(n) > static_cast<int>(kRsaBytes) || BN_cmp(c, n) >= 0) break;
    BN_set_flags(dp, BN_FLG_CONSTTIME);
    BN_set_flags(dq, BN_FLG_CONSTTIME);
    if (!BN_mod(m1, c, p, ctx.get()) ||
        !BN_mod_exp_mont_consttime(m1, m1, dp, p, ctx.get(), nullptr))
      break;
    if (!BN_mod(m2, c, q, ctx.get()) ||
        !BN_mod_exp_mont_consttime(m2, m2, dq, q, ctx.get(), nullptr))
      break;
    // h = qInv * (m1 - m2) mod p; m = m2 + h * q.
    if (!BN_mod_sub(h, m1, m2, p, ctx.get())) break;
    if (!BN_mod_mul(h, h, qinv, p, ctx.get())) break;
    if (!BN_mul(h, h, q, ctx.get()) || !BN_add(h, h, m2)) break;
    if (BN_cmp(h, n) >= 0 && !BN_mod(h, h, n, ctx.get())) break;
    if (BN_bn2binpad(h, out, kRsaBytes) != static_cast<int>(kRsaBytes)) break;
    ok = true;
  } while (false);
  BN_CTX_end(ctx.get());
  return ok;
}

bool randomBytes(std::uint8_t* out, std::size_t len) {
  return len == 0 || RAND_bytes(out, static_cast<int>(len)) == 1;
}

void sha256(const std::uint8_t* data, std::size_t len, std::uint8_t out[32]) {
  SHA256(data, len, out);
}

}  // namespace tkp30emu::crypto

namespace tkp30emu {

bool generateRsa1024(std::uint8_t modulus[kRsaBytes], std::uint8_t crt[kCrtComponents][kRsaHalf]) {
  EVP_PKEY_CTX* kctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
  if (!kctx) return false;
  EVP_PKEY* pkey = nullptr;
  bool ok = EVP_PKEY_keygen_init(kctx) == 1 &&
            EVP_PKEY_CTX_set_rsa_keygen_bits(kctx, 8 * kRsaBytes) == 1 &&
            EVP_PKEY_generate(kctx, &pkey) == 1;
  EVP_PKEY_CTX_free(kctx);
  if (!ok) return false;
  const char* names[6] = {OSSL_PKEY_PARAM_RSA_N,         OSSL_PKEY_PARAM_RSA_FACTOR1,
                          OSSL_PKEY_PARAM_RSA_FACTOR2,   OSSL_PKEY_PARAM_RSA_EXPONENT1,
                          OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1};
  for (int i = 0; i < 6 && ok; ++i) {
    BIGNUM* bn = nullptr;
    if (EVP_PKEY_get_bn_param(pkey, names[i], &bn) != 1) {
      ok = false;
      break;
    }
    if (i == 0)
      ok = BN_bn2binpad(bn, modulus, kRsaBytes) == static_cast<int>(kRsaBytes);
    else
      ok = BN_bn2binpad(bn, crt[i - 1], kRsaHalf) == static_cast<int>(kRsaHalf);
    BN_clear_free(bn);
  }
  EVP_PKEY_free(pkey);
  return ok;
}

}  // namespace tkp30emu

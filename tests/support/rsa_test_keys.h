// RSA keys made by libcrypto for tests: the independent side against which
// the library's on-card and software RSA results are checked.
#pragma once

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace rsatest {

using Bytes = std::vector<std::uint8_t>;

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;

inline void require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

inline Pkey generate(unsigned bits) {
  Pkey key(EVP_RSA_gen(bits));
  require(key != nullptr, "EVP_RSA_gen");
  return key;
}

// One big-number parameter of the key, big-endian, left-padded to `width`.
inline Bytes param(const EVP_PKEY* key, const char* name, std::size_t width) {
  BIGNUM* bn = nullptr;
  require(EVP_PKEY_get_bn_param(key, name, &bn) == 1, name);
  Bytes out(width);
  const int written = BN_bn2binpad(bn, out.data(), static_cast<int>(width));
  BN_clear_free(bn);
  require(written == static_cast<int>(width), "BN_bn2binpad");
  return out;
}

inline Bytes modulus(const EVP_PKEY* key) {
  return param(key, OSSL_PKEY_PARAM_RSA_N, static_cast<std::size_t>(EVP_PKEY_get_size(key)));
}

// The public key (n, 65537) as a key object, e.g. from a modulus read off the token.
inline Pkey publicKey(const Bytes& n) {
  std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> bld(OSSL_PARAM_BLD_new(),
                                                                      &OSSL_PARAM_BLD_free);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> bn(
      BN_bin2bn(n.data(), static_cast<int>(n.size()), nullptr), &BN_free);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> e(BN_new(), &BN_free);
  require(bld && bn && e && BN_set_word(e.get(), 65537) == 1, "params");
  require(OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_N, bn.get()) == 1 &&
              OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) == 1,
          "push");
  std::unique_ptr<OSSL_PARAM, decltype(&OSSL_PARAM_free)> params(
      OSSL_PARAM_BLD_to_param(bld.get()), &OSSL_PARAM_free);
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr), &EVP_PKEY_CTX_free);
  EVP_PKEY* key = nullptr;
  require(params && ctx && EVP_PKEY_fromdata_init(ctx.get()) == 1 &&
              EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) == 1,
          "fromdata");
  return Pkey(key);
}

inline std::string publicPem(const EVP_PKEY* key) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
  require(bio && PEM_write_bio_PUBKEY(bio.get(), key) == 1, "PEM_write_bio_PUBKEY");
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

// One unpadded RSA operation with `key`: the private one (block ^ d mod n)
// or the public one (block ^ e mod n).
inline Bytes rawOperation(EVP_PKEY* key, const Bytes& block, bool privateKey) {
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr), &EVP_PKEY_CTX_free);
  require(ctx != nullptr, "EVP_PKEY_CTX_new_from_pkey");
  const int init = privateKey ? EVP_PKEY_decrypt_init(ctx.get()) : EVP_PKEY_encrypt_init(ctx.get());
  require(init == 1 && EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING) == 1,
          "raw operation init");
  Bytes out(block.size());
  std::size_t outLen = out.size();
  const int rv =
      privateKey ? EVP_PKEY_decrypt(ctx.get(), out.data(), &outLen, block.data(), block.size())
                 : EVP_PKEY_encrypt(ctx.get(), out.data(), &outLen, block.data(), block.size());
  require(rv == 1, "raw operation");
  out.resize(outLen);
  return out;
}

// The raw private-key operation, the reference for the token's.
inline Bytes privateRaw(EVP_PKEY* key, const Bytes& block) {
  return rawOperation(key, block, true);
}

// The raw public-key operation on a key object of its own.
inline Bytes publicRaw(EVP_PKEY* key, const Bytes& block) {
  return rawOperation(key, block, false);
}

// 00 01, `ffCount` bytes FF, 00, then `data`.
inline Bytes type1Block(std::size_t ffCount, const Bytes& data) {
  Bytes block{0x00, 0x01};
  block.insert(block.end(), ffCount, 0xFF);
  block.push_back(0x00);
  block.insert(block.end(), data.begin(), data.end());
  return block;
}

// The DER DigestInfo prefix of a SHA-256 hash.
inline const Bytes kSha256DigestInfo = {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                        0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};

inline Bytes sha256(const Bytes& message) {
  Bytes digest(32);
  unsigned int length = 0;
  require(EVP_Digest(message.data(), message.size(), digest.data(), &length, EVP_sha256(),
                     nullptr) == 1,
          "EVP_Digest");
  return digest;
}

// The PKCS #1 v1.5 signature block of `message` for a key of `keyBytes`.
inline Bytes sha256SignatureBlock(const Bytes& message, std::size_t keyBytes) {
  Bytes info = kSha256DigestInfo;
  const Bytes digest = sha256(message);
  info.insert(info.end(), digest.begin(), digest.end());
  return type1Block(keyBytes - 3 - info.size(), info);
}

}  // namespace rsatest

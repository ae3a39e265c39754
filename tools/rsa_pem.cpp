#include "rsa_pem.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>

#include <memory>

#include "tool_error.h"

namespace tkp30 {
namespace {

constexpr unsigned long kPublicExponent = 65537;

struct Free {
  void operator()(BIO* p) const { BIO_free(p); }
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
  void operator()(BIGNUM* p) const { BN_clear_free(p); }
  void operator()(OSSL_PARAM_BLD* p) const { OSSL_PARAM_BLD_free(p); }
  void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

Owned<EVP_PKEY> loadPem(const std::string& path) {
  Owned<BIO> bio(BIO_new_file(path.c_str(), "r"));
  if (!bio) throw Failure("cannot read " + path);
  Owned<EVP_PKEY> key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
  if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA)
    throw Failure(path + " holds no unencrypted PEM RSA private key");
  return key;
}

Owned<BIGNUM> component(const EVP_PKEY* key, const char* name) {
  BIGNUM* value = nullptr;
  if (EVP_PKEY_get_bn_param(key, name, &value) != 1)
    throw Failure(std::string("the key has no ") + name + " component");
  return Owned<BIGNUM>(value);
}

void exportComponent(const EVP_PKEY* key, const char* name, std::span<std::uint8_t> out) {
  const auto value = component(key, name);
  if (BN_bn2binpad(value.get(), out.data(), static_cast<int>(out.size())) < 0)
    throw Failure(std::string("the key's ") + name + " component is too long");
}

void requireTokenShape(const EVP_PKEY* key) {
  if (EVP_PKEY_get_bits(key) != kRsaBits) throw Failure("the token holds 1024-bit RSA keys only");
  if (!BN_is_word(component(key, OSSL_PKEY_PARAM_RSA_E).get(), kPublicExponent))
    throw Failure("the token holds keys with the public exponent 65537 only");
}

}  // namespace

TokenPrivateKey readPrivateKeyPem(const std::string& path) {
  const auto key = loadPem(path);
  requireTokenShape(key.get());
  TokenPrivateKey out;
  exportComponent(key.get(), OSSL_PKEY_PARAM_RSA_N, out.modulus);
  exportComponent(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR1, {out.prime1.data(), out.prime1.size()});
  exportComponent(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR2, {out.prime2.data(), out.prime2.size()});
  exportComponent(key.get(), OSSL_PKEY_PARAM_RSA_EXPONENT1,
                  {out.exponent1.data(), out.exponent1.size()});
  exportComponent(key.get(), OSSL_PKEY_PARAM_RSA_EXPONENT2,
                  {out.exponent2.data(), out.exponent2.size()});
  exportComponent(key.get(), OSSL_PKEY_PARAM_RSA_COEFFICIENT1,
                  {out.coefficient.data(), out.coefficient.size()});
  return out;
}

std::string publicKeyPem(std::span<const std::uint8_t> modulus) {
  Owned<BIGNUM> n(BN_bin2bn(modulus.data(), static_cast<int>(modulus.size()), nullptr));
  Owned<BIGNUM> e(BN_new());
  Owned<OSSL_PARAM_BLD> build(OSSL_PARAM_BLD_new());
  if (!n || !e || !build || BN_set_word(e.get(), kPublicExponent) != 1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) != 1)
    throw Failure("cannot build the public key");
  Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(build.get()));
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* raw = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &raw, EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
    throw Failure("the token's modulus is not a usable RSA key");
  Owned<EVP_PKEY> key(raw);
  Owned<BIO> bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_PUBKEY(bio.get(), key.get()) != 1) throw Failure("cannot write PEM");
  char* text = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &text);
  return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace tkp30

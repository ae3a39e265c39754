// Windows has no openssl command: the signature is checked by libcrypto's
// verifier in the test process, still independent of the library's code.
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <memory>

#include "support/e2e_rsa_helpers.h"
#include "support/rsa_test_keys.h"

namespace e2e {

bool opensslVerifiesSha256(const std::string& publicPem, const std::vector<std::uint8_t>& message,
                           const std::vector<std::uint8_t>& signature) {
  const std::vector<std::uint8_t> digest = rsatest::sha256(message);
  const std::unique_ptr<BIO, decltype(&BIO_free)> bio(
      BIO_new_mem_buf(publicPem.data(), static_cast<int>(publicPem.size())), BIO_free);
  const rsatest::Pkey key(bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr)
                              : nullptr);
  if (!key) return false;
  const std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new(key.get(), nullptr), EVP_PKEY_CTX_free);
  return ctx && EVP_PKEY_verify_init(ctx.get()) == 1 &&
         EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) == 1 &&
         EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_sha256()) == 1 &&
         EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), digest.data(),
                         digest.size()) == 1;
}

}  // namespace e2e

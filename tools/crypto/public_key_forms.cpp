#include "crypto/public_key_forms.h"

#include <openssl/pem.h>

#include "common/ossl_owned.h"
#include "common/rsa_public_key.h"
#include "io/tool_error.h"

namespace tkp30 {

common::Owned<EVP_PKEY> publicKeyOf(std::span<const std::uint8_t> modulus) {
  auto key = common::rsaPublicKey(modulus);
  if (!key) throw Failure("the token's modulus is not a usable RSA key");
  return key;
}

std::string publicKeyPem(std::span<const std::uint8_t> modulus) {
  const auto key = publicKeyOf(modulus);
  const common::Owned<BIO> bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_PUBKEY(bio.get(), key.get()) != 1) throw Failure("cannot write PEM");
  char* text = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &text);
  return std::string(text, static_cast<std::size_t>(length));
}

std::vector<std::uint8_t> publicKeyDer(std::span<const std::uint8_t> modulus) {
  std::vector<std::uint8_t> der = common::subjectPublicKeyInfo(publicKeyOf(modulus).get());
  if (der.empty()) throw Failure("cannot write DER");
  return der;
}

std::string publicKeySsh(std::span<const std::uint8_t> modulus, const std::string& comment) {
  return common::opensshPublicKey(modulus, comment);
}

}  // namespace tkp30

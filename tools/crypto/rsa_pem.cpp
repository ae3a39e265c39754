#include "crypto/rsa_pem.h"

#include <openssl/core_names.h>
#include <openssl/pem.h>

#include <cstring>
#include <exception>

#include "common/ossl_owned.h"
#include "common/rsa1024.h"
#include "common/secret_bytes.h"
#include "crypto/public_key_forms.h"
#include "io/file_io.h"
#include "io/pin_input.h"
#include "io/secret_sources.h"
#include "io/tool_error.h"

namespace tkp30 {
namespace {

constexpr std::string_view kEnvSource = "env:";
constexpr std::string_view kFileSource = "file:";

// What the pass phrase callback was given and what became of it. The
// callback is called from C: nothing may be thrown through it.
struct PassphraseRequest {
  const std::string& name;
  const std::optional<common::SecretBytes>& given;
  bool asked = false;
  bool noTerminal = false;
  std::exception_ptr failure;
};

int copyPassphrase(const common::SecretBytes& phrase, char* buf, int size) {
  if (phrase.size() > static_cast<std::size_t>(size)) return -1;
  if (!phrase.empty()) std::memcpy(buf, phrase.data(), phrase.size());
  return static_cast<int>(phrase.size());
}

extern "C" int passphraseCallback(char* buf, int size, int /*rwflag*/, void* userData) {
  auto& request = *static_cast<PassphraseRequest*>(userData);
  request.asked = true;
  if (request.given) return copyPassphrase(*request.given, buf, size);
  try {
    const auto typed = askOnTerminal("the pass phrase of " + request.name);
    if (!typed) {
      request.noTerminal = true;
      return -1;
    }
    return copyPassphrase(*typed, buf, size);
  } catch (...) {
    request.failure = std::current_exception();
    return -1;
  }
}

common::Owned<EVP_PKEY> loadPem(std::span<const std::uint8_t> pem, PassphraseRequest& request) {
  common::Owned<BIO> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) throw Failure("out of memory");
  common::Owned<EVP_PKEY> key(
      PEM_read_bio_PrivateKey(bio.get(), nullptr, passphraseCallback, &request));
  if (request.failure) std::rethrow_exception(request.failure);
  if (request.noTerminal)
    throw Failure(request.name + " is encrypted and there is no terminal to ask for its pass " +
                  "phrase: give it with --passin env:VARIABLE or --passin file:PATH");
  if (!key && request.asked)
    throw Failure("cannot decrypt " + request.name + " (wrong pass phrase?)");
  if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA)
    throw Failure(request.name + " holds no PEM RSA private key");
  return key;
}

common::Owned<BIGNUM> component(const EVP_PKEY* key, const char* name) {
  BIGNUM* value = nullptr;
  if (EVP_PKEY_get_bn_param(key, name, &value) != 1)
    throw Failure(std::string("the key has no ") + name + " component");
  return common::Owned<BIGNUM>(value);
}

void exportComponent(const EVP_PKEY* key, const char* name, std::span<std::uint8_t> out) {
  const auto value = component(key, name);
  if (BN_bn2binpad(value.get(), out.data(), static_cast<int>(out.size())) < 0)
    throw Failure(std::string("the key's ") + name + " component is too long");
}

void exportComponent(const EVP_PKEY* key, const char* name, common::SecretBytes& out) {
  exportComponent(key, name, std::span<std::uint8_t>(out.data(), out.size()));
}

void requireTokenShape(const EVP_PKEY* key) {
  if (EVP_PKEY_get_bits(key) != common::kModulusBits)
    throw Failure("the token holds 1024-bit RSA keys only");
  if (!BN_is_word(component(key, OSSL_PKEY_PARAM_RSA_E).get(), common::kPublicExponent))
    throw Failure("the token holds keys with the public exponent 65537 only");
}

}  // namespace

common::SecretBytes readPassphrase(const std::string& source) {
  if (source.starts_with(kFileSource)) return readSecretLine(source.substr(kFileSource.size()));
  if (source.starts_with(kEnvSource)) {
    const std::string variable = source.substr(kEnvSource.size());
    auto phrase = secretFromEnvironment(variable);
    if (!phrase) throw UsageError("environment variable " + variable + " is not set");
    return std::move(*phrase);
  }
  throw UsageError("--passin takes env:VARIABLE or file:PATH");
}

TokenPrivateKey parsePrivateKeyPem(std::span<const std::uint8_t> pem, const std::string& name,
                                   const std::optional<common::SecretBytes>& passphrase) {
  PassphraseRequest request{name, passphrase, false, false, nullptr};
  const auto key = loadPem(pem, request);
  requireTokenShape(key.get());
  TokenPrivateKey out;
  exportComponent(key.get(), OSSL_PKEY_PARAM_RSA_N, out.modulus);
  exportComponent(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR1, out.prime1);
  exportComponent(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR2, out.prime2);
  exportComponent(key.get(), OSSL_PKEY_PARAM_RSA_EXPONENT1, out.exponent1);
  exportComponent(key.get(), OSSL_PKEY_PARAM_RSA_EXPONENT2, out.exponent2);
  exportComponent(key.get(), OSSL_PKEY_PARAM_RSA_COEFFICIENT1, out.coefficient);
  return out;
}

TokenPrivateKey readPrivateKeyPem(const std::string& path,
                                  const std::optional<common::SecretBytes>& passphrase) {
  const common::SecretBytes pem = readSecretFile(path);
  return parsePrivateKeyPem(pem.span(), path, passphrase);
}

}  // namespace tkp30

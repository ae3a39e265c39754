// libcrypto 3 still routes a key with an RSA method of its own through
// its legacy path, and that method is the one way to give libcrypto a key
// whose private operation happens elsewhere without writing a provider.
// The method's calls are deprecated API, hence the suppression in this
// file alone.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "crypto/token_rsa_key.h"

#include <openssl/rsa.h>

#include "common/ossl_owned.h"
#include "common/rsa1024.h"
#include "common/token_shape.h"
#include "crypto/public_key_forms.h"
#include "io/tool_error.h"
#include "norv_dal_tkp30.h"

namespace tkp30 {

struct TokenRsaKey::Signer {
  int slot = 0;
  std::int32_t lastResult = NORV_DAL_OK;
  RSA_METHOD* method = nullptr;
};

namespace {

// libcrypto hands over the DigestInfo to be signed; the token applies the
// raw private key to the whole PKCS #1 v1.5 block, built here.
extern "C" int signOnToken(int flen, const unsigned char* from, unsigned char* to, RSA* rsa,
                           int padding) {
  auto* signer = static_cast<TokenRsaKey::Signer*>(RSA_get_app_data(rsa));
  if (signer == nullptr || padding != RSA_PKCS1_PADDING || flen < 0) return -1;
  const auto block = common::signatureBlock({from, static_cast<std::size_t>(flen)});
  if (!block) return -1;
  std::int32_t length = 0;
  signer->lastResult =
      NORV_DAL_RsaPrivateKeyRaw(common::privateKeyFile(signer->slot), block->data(),
                                static_cast<std::int32_t>(block->size()), to, &length);
  return signer->lastResult == NORV_DAL_OK ? static_cast<int>(length) : -1;
}

RSA_METHOD* tokenMethod() {
  RSA_METHOD* method = RSA_meth_dup(RSA_get_default_method());
  if (method == nullptr || RSA_meth_set1_name(method, "tkp30 token") != 1 ||
      RSA_meth_set_priv_enc(method, signOnToken) != 1) {
    RSA_meth_free(method);
    throw Failure("cannot set up the token's key for libcrypto");
  }
  return method;
}

}  // namespace

TokenRsaKey::TokenRsaKey(int slot, std::span<const std::uint8_t> modulus)
    : signer_(std::make_unique<Signer>()) {
  signer_->slot = slot;
  signer_->method = tokenMethod();
  RSA* rsa = RSA_new();
  common::Owned<BIGNUM> n(BN_bin2bn(modulus.data(), static_cast<int>(modulus.size()), nullptr));
  common::Owned<BIGNUM> e(BN_new());
  key_.reset(EVP_PKEY_new());
  if (rsa == nullptr || !n || !e || !key_ || BN_set_word(e.get(), common::kPublicExponent) != 1 ||
      RSA_set_method(rsa, signer_->method) != 1 ||
      RSA_set0_key(rsa, n.get(), e.get(), nullptr) != 1) {
    RSA_free(rsa);
    throw Failure("cannot set up the token's key for libcrypto");
  }
  (void)n.release();  // now the RSA's
  (void)e.release();
  RSA_set_app_data(rsa, signer_.get());
  if (EVP_PKEY_assign_RSA(key_.get(), rsa) != 1) {
    RSA_free(rsa);
    throw Failure("cannot set up the token's key for libcrypto");
  }
}

TokenRsaKey::~TokenRsaKey() {
  key_.reset();  // the key uses the method: it goes first
  RSA_meth_free(signer_->method);
}

void TokenRsaKey::throwIfTokenFailed() const {
  if (signer_->lastResult != NORV_DAL_OK)
    throw LibraryError("sign on the token", signer_->lastResult);
}

}  // namespace tkp30

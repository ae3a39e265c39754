// A formatted token with the user logged in and one key pair, and what
// libcrypto says of the key's signatures and what it encrypts for it.
#pragma once

#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <memory>

#include "module_fixture.h"
#include "support/rsa_test_keys.h"

namespace p11test {

inline const Bytes kMessage = {'t', 'o', ' ', 's', 'i', 'g', 'n'};

class KeyTest : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    initToken();
    s_ = openSession();
    login(s_);
    key_ = generateKeyPair(s_);
    publicKey_ = rsatest::publicKey(attribute(s_, key_, CKA_MODULUS));
  }

  // libcrypto's verdict on a signature made by the token.
  bool verifies(const Bytes& signature, const Bytes& data, int padding, const EVP_MD* md,
                int salt = 0) {
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
        EVP_PKEY_CTX_new_from_pkey(nullptr, publicKey_.get(), nullptr), &EVP_PKEY_CTX_free);
    if (!ctx || EVP_PKEY_verify_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), padding) != 1 ||
        (md != nullptr && EVP_PKEY_CTX_set_signature_md(ctx.get(), md) != 1) ||
        (padding == RSA_PKCS1_PSS_PADDING &&
         EVP_PKEY_CTX_set_rsa_pss_saltlen(ctx.get(), salt) != 1))
      return false;
    Bytes digest = data;
    if (md != nullptr) {
      digest.resize(static_cast<std::size_t>(EVP_MD_get_size(md)));
      EVP_Digest(data.data(), data.size(), digest.data(), nullptr, md, nullptr);
    }
    return EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), digest.data(),
                           digest.size()) == 1;
  }

  Bytes encryptWithLibcrypto(const Bytes& plain, int padding, const EVP_MD* oaep = nullptr,
                             const Bytes& label = {}) {
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
        EVP_PKEY_CTX_new_from_pkey(nullptr, publicKey_.get(), nullptr), &EVP_PKEY_CTX_free);
    EXPECT_TRUE(ctx && EVP_PKEY_encrypt_init(ctx.get()) == 1 &&
                EVP_PKEY_CTX_set_rsa_padding(ctx.get(), padding) == 1);
    if (oaep != nullptr) {
      EVP_PKEY_CTX_set_rsa_oaep_md(ctx.get(), oaep);
      EVP_PKEY_CTX_set_rsa_mgf1_md(ctx.get(), oaep);
      if (!label.empty())
        EVP_PKEY_CTX_set0_rsa_oaep_label(ctx.get(), OPENSSL_memdup(label.data(), label.size()),
                                         static_cast<int>(label.size()));
    }
    Bytes out(128);
    std::size_t n = out.size();
    EXPECT_EQ(EVP_PKEY_encrypt(ctx.get(), out.data(), &n, plain.data(), plain.size()), 1);
    return out;
  }

  CK_RV decrypt(CK_MECHANISM m, const Bytes& cipher, Bytes& plain) {
    if (const CK_RV rv = c::DecryptInit(s_, &m, key_); rv != CKR_OK) return rv;
    Bytes in = cipher;
    plain.assign(128, 0);
    CK_ULONG n = plain.size();
    const CK_RV rv = c::Decrypt(s_, in.data(), in.size(), plain.data(), &n);
    plain.resize(n);
    return rv;
  }

  // Signs in session s; true when every signature verifies.
  bool signManyTimes(CK_SESSION_HANDLE s, int count) {
    for (int i = 0; i < count; ++i) {
      Bytes message = {'m', static_cast<std::uint8_t>(i)};
      CK_MECHANISM m = {CKM_SHA256_RSA_PKCS, nullptr, 0};
      Bytes signature(128);
      CK_ULONG length = signature.size();
      if (c::SignInit(s, &m, key_) != CKR_OK ||
          c::Sign(s, message.data(), message.size(), signature.data(), &length) != CKR_OK ||
          !verifies(signature, message, RSA_PKCS1_PADDING, EVP_sha256()))
        return false;
    }
    return true;
  }

  CK_SESSION_HANDLE s_ = 0;
  CK_OBJECT_HANDLE key_ = 0;
  rsatest::Pkey publicKey_{nullptr};
};

}  // namespace p11test

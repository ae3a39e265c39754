// The PSS blocks around the token's raw private operation, checked against
// libcrypto as the independent party.
#include <gtest/gtest.h>
#include <openssl/rsa.h>

#include "crypto/rsa_padding.h"
#include "support/rsa_test_keys.h"

namespace p11test {
namespace {

using namespace p11;
using rsatest::Bytes;

const rsatest::Pkey& testKey() {
  static const rsatest::Pkey key = rsatest::generate(1024);
  return key;
}

std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> verifier(const HashInfo& hash) {
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_pkey(nullptr, testKey().get(), nullptr), &EVP_PKEY_CTX_free);
  if (!ctx || EVP_PKEY_verify_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_signature_md(ctx.get(), hash.md()) != 1)
    return {nullptr, &EVP_PKEY_CTX_free};
  return ctx;
}

TEST(SignatureBlocks, PssWithTheLargestSaltVerifies) {
  for (CK_MECHANISM_TYPE m : {CKM_SHA_1, CKM_SHA256, CKM_SHA512}) {
    const HashInfo& hash = *hashByDigest(m);
    Bytes digest;
    ASSERT_TRUE(digestOf(hash, Bytes{9, 9}, digest));
    const Bytes salt(maxPssSalt(hash), 0x3C);
    Block block{};
    ASSERT_TRUE(pssBlock(hash, hash, digest, salt, block));
    EXPECT_FALSE(pssBlock(hash, hash, digest, Bytes(salt.size() + 1), block));
    const Bytes signature = rsatest::privateRaw(testKey().get(), Bytes(block.begin(), block.end()));
    auto ctx = verifier(hash);
    ASSERT_TRUE(ctx && EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PSS_PADDING) == 1 &&
                EVP_PKEY_CTX_set_rsa_pss_saltlen(ctx.get(), static_cast<int>(salt.size())) == 1);
    EXPECT_EQ(EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), digest.data(), digest.size()), 1)
        << "mechanism 0x" << std::hex << m;
  }
}

}  // namespace
}  // namespace p11test

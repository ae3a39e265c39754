// The blocks around the token's raw private operation, checked against
// libcrypto as the independent party.
#include <gtest/gtest.h>
#include <openssl/rsa.h>

#include "rsa_padding.h"
#include "support/rsa_test_keys.h"

namespace p11test {
namespace {

using namespace p11;
using rsatest::Bytes;

const rsatest::Pkey& testKey() {
  static const rsatest::Pkey key = rsatest::generate(1024);
  return key;
}

Block blockOf(const Bytes& bytes) {
  Block b{};
  std::copy(bytes.begin(), bytes.end(), b.end() - static_cast<std::ptrdiff_t>(bytes.size()));
  return b;
}

// 00 02, `padding` nonzero bytes, 00, message.
Block encryptionBlock(std::size_t padding, const Bytes& message) {
  Bytes b{0x00, 0x02};
  b.insert(b.end(), padding, 0x5A);
  b.push_back(0x00);
  b.insert(b.end(), message.begin(), message.end());
  return blockOf(b);
}

int unpad(const Block& block, Bytes& out) {
  out.assign(kModulusBytes, 0);
  const int n = removeEncryptionPadding(block, out);
  if (n >= 0) out.resize(static_cast<std::size_t>(n));
  return n;
}

TEST(EncryptionPadding, TakesEveryMessageLengthAndRefusesBadBlocks) {
  Bytes out;
  for (std::size_t length : {0u, 1u, 60u, 117u}) {
    const Bytes message(length, 0xC3);
    ASSERT_EQ(unpad(encryptionBlock(125 - length, message), out), static_cast<int>(length));
    EXPECT_EQ(out, message);
  }
  Block wrongType = encryptionBlock(100, Bytes(25, 1));
  wrongType[1] = 0x01;
  EXPECT_EQ(unpad(wrongType, out), -1);
  Block leadingByte = encryptionBlock(100, Bytes(25, 1));
  leadingByte[0] = 0x01;
  EXPECT_EQ(unpad(leadingByte, out), -1);
  EXPECT_EQ(unpad(encryptionBlock(7, Bytes(118, 1)), out), -1);  // padding too short
  Block noSeparator{};
  noSeparator.fill(0x77);
  noSeparator[0] = 0x00;
  noSeparator[1] = 0x02;
  EXPECT_EQ(unpad(noSeparator, out), -1);
  Bytes small(10);
  EXPECT_EQ(removeEncryptionPadding(encryptionBlock(100, Bytes(25, 1)), small), -1);
}

TEST(EncryptionPadding, TakesWhatLibcryptoEncrypts) {
  const Bytes message = {'s', 'e', 'c', 'r', 'e', 't'};
  const Bytes n = rsatest::modulus(testKey().get());
  const rsatest::Pkey pub = rsatest::publicKey(n);
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_pkey(nullptr, pub.get(), nullptr), &EVP_PKEY_CTX_free);
  Bytes cipher(128);
  std::size_t length = cipher.size();
  ASSERT_TRUE(ctx && EVP_PKEY_encrypt_init(ctx.get()) == 1 &&
              EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) == 1 &&
              EVP_PKEY_encrypt(ctx.get(), cipher.data(), &length, message.data(), message.size()) == 1);
  Bytes out;
  ASSERT_EQ(unpad(blockOf(rsatest::privateRaw(testKey().get(), cipher)), out), 6);
  EXPECT_EQ(out, message);
}

std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> verifier(const HashInfo& hash) {
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_pkey(nullptr, testKey().get(), nullptr), &EVP_PKEY_CTX_free);
  if (!ctx || EVP_PKEY_verify_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_signature_md(ctx.get(), hash.md()) != 1)
    return {nullptr, &EVP_PKEY_CTX_free};
  return ctx;
}

TEST(SignatureBlocks, DigestInfoOfEveryHashVerifies) {
  for (CK_MECHANISM_TYPE m : {CKM_SHA_1, CKM_SHA224, CKM_SHA256, CKM_SHA384, CKM_SHA512}) {
    const HashInfo& hash = *hashByDigest(m);
    Bytes digest;
    ASSERT_TRUE(digestOf(hash, Bytes{1, 2, 3}, digest));
    Block block{};
    ASSERT_TRUE(pkcs1SignatureBlock(digestInfo(hash, digest), block));
    const Bytes signature = rsatest::privateRaw(testKey().get(), Bytes(block.begin(), block.end()));
    auto ctx = verifier(hash);
    ASSERT_TRUE(ctx && EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) == 1);
    EXPECT_EQ(EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), digest.data(), digest.size()), 1)
        << "mechanism 0x" << std::hex << m;
  }
  Block block{};
  EXPECT_TRUE(pkcs1SignatureBlock(Bytes(117, 1), block));
  EXPECT_FALSE(pkcs1SignatureBlock(Bytes(118, 1), block));
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

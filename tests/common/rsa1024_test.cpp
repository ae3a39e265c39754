// The PKCS #1 v1.5 blocks around the token's raw private operation,
// checked against libcrypto as the independent party.
#include "common/rsa1024.h"

#include <gtest/gtest.h>
#include <openssl/rsa.h>

#include <algorithm>

#include "common/digest_info.h"
#include "support/rsa_test_keys.h"

namespace {

using common::RsaBlock;
using rsatest::Bytes;

const rsatest::Pkey& testKey() {
  static const rsatest::Pkey key = rsatest::generate(1024);
  return key;
}

Bytes countingDigest() {
  Bytes digest(32);
  for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<std::uint8_t>(i);
  return digest;
}

TEST(SignatureBlock, IsType1PaddingAroundTheSha256DigestInfo) {
  const auto info = common::digestInfo(common::Hash::Sha256, countingDigest());
  const RsaBlock block = *common::signatureBlock(info);
  ASSERT_EQ(info.size(), 51u);  // 19 bytes of DER, 32 of digest
  EXPECT_EQ(block[0], 0x00);
  EXPECT_EQ(block[1], 0x01);
  const std::size_t separator = block.size() - info.size() - 1;
  EXPECT_TRUE(std::all_of(block.begin() + 2, block.begin() + static_cast<long>(separator),
                          [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(block[separator], 0x00);
  EXPECT_TRUE(
      std::equal(info.begin(), info.end(), block.begin() + static_cast<long>(separator) + 1));
  EXPECT_EQ(info[0], 0x30);
  EXPECT_EQ(info[18], 0x20);  // OCTET STRING of 32 bytes
  EXPECT_EQ(block.back(), 31);
  EXPECT_TRUE(common::signatureBlock(Bytes(117, 1)));
  EXPECT_FALSE(common::signatureBlock(Bytes(118, 1)));  // fewer than 8 padding bytes
}

TEST(SignatureBlock, DigestInfoOfEveryHashVerifies) {
  for (const auto hash : {common::Hash::Sha1, common::Hash::Sha224, common::Hash::Sha256,
                          common::Hash::Sha384, common::Hash::Sha512}) {
    const common::HashSpec& spec = common::specOf(hash);
    ASSERT_EQ(spec.hash, hash);
    Bytes digest(spec.size);
    ASSERT_EQ(EVP_Digest("abc", 3, digest.data(), nullptr, spec.md(), nullptr), 1);
    const RsaBlock block = *common::signatureBlock(common::digestInfo(hash, digest));
    const Bytes signature = rsatest::privateRaw(testKey().get(), Bytes(block.begin(), block.end()));
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
        EVP_PKEY_CTX_new_from_pkey(nullptr, testKey().get(), nullptr), &EVP_PKEY_CTX_free);
    ASSERT_TRUE(ctx && EVP_PKEY_verify_init(ctx.get()) == 1 &&
                EVP_PKEY_CTX_set_signature_md(ctx.get(), spec.md()) == 1 &&
                EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) == 1);
    EXPECT_EQ(EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), digest.data(),
                              digest.size()),
              1)
        << spec.name;
  }
}

// 00 02, `padding` nonzero bytes, 00, message; right-aligned in a block.
RsaBlock encryptionBlock(std::size_t padding, const Bytes& message) {
  Bytes b{0x00, 0x02};
  b.insert(b.end(), padding, 0x5A);
  b.push_back(0x00);
  b.insert(b.end(), message.begin(), message.end());
  RsaBlock block{};
  std::copy(b.begin(), b.end(), block.end() - static_cast<std::ptrdiff_t>(b.size()));
  return block;
}

int unpad(const RsaBlock& block, Bytes& out) {
  out.assign(common::kModulusBytes, 0);
  const int n = common::removeEncryptionPadding(block, out);
  if (n >= 0) out.resize(static_cast<std::size_t>(n));
  return n;
}

TEST(EncryptionBlock, TheMessageAfterTheSeparatorComesOut) {
  Bytes out;
  for (std::size_t length : {0u, 1u, 25u, 60u, 117u}) {
    const Bytes message(length, 0xC3);
    ASSERT_EQ(unpad(encryptionBlock(125 - length, message), out), static_cast<int>(length));
    EXPECT_EQ(out, message);
  }
  const auto message = common::encryptedMessage(encryptionBlock(100, Bytes(25, 0x11)));
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->size(), 25u);
}

TEST(EncryptionBlock, MalformedBlocksAreRefused) {
  Bytes out;
  EXPECT_EQ(unpad(encryptionBlock(7, Bytes(118, 1)), out), -1);  // padding too short
  RsaBlock wrongType = encryptionBlock(100, Bytes(25, 1));
  wrongType[1] = 0x01;
  EXPECT_EQ(unpad(wrongType, out), -1);
  RsaBlock leadingByte = encryptionBlock(100, Bytes(25, 1));
  leadingByte[0] = 0x01;
  EXPECT_EQ(unpad(leadingByte, out), -1);
  RsaBlock noSeparator{};
  noSeparator.fill(0x77);
  noSeparator[0] = 0x00;
  noSeparator[1] = 0x02;
  EXPECT_EQ(unpad(noSeparator, out), -1);
  EXPECT_FALSE(common::encryptedMessage(noSeparator).has_value());
  Bytes small(10);
  EXPECT_EQ(common::removeEncryptionPadding(encryptionBlock(100, Bytes(25, 1)), small), -1);
}

TEST(EncryptionBlock, TakesWhatLibcryptoEncrypts) {
  const Bytes message = {'s', 'e', 'c', 'r', 'e', 't'};
  const rsatest::Pkey pub = rsatest::publicKey(rsatest::modulus(testKey().get()));
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_pkey(nullptr, pub.get(), nullptr), &EVP_PKEY_CTX_free);
  Bytes cipher(128);
  std::size_t length = cipher.size();
  ASSERT_TRUE(ctx && EVP_PKEY_encrypt_init(ctx.get()) == 1 &&
              EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) == 1 &&
              EVP_PKEY_encrypt(ctx.get(), cipher.data(), &length, message.data(),
                               message.size()) == 1);
  const Bytes raw = rsatest::privateRaw(testKey().get(), cipher);
  RsaBlock block{};
  std::copy(raw.begin(), raw.end(), block.end() - static_cast<std::ptrdiff_t>(raw.size()));
  Bytes out;
  ASSERT_EQ(unpad(block, out), 6);
  EXPECT_EQ(out, message);
}

}  // namespace

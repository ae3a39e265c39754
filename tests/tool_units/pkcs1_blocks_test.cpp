#include "pkcs1_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tkp30 {
namespace {

Sha256 countingDigest() {
  Sha256 digest{};
  for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<std::uint8_t>(i);
  return digest;
}

TEST(SignatureBlock, IsType1PaddingAroundTheSha256DigestInfo) {
  const RsaBlock block = signatureBlock(countingDigest());
  const auto info = sha256DigestInfo(countingDigest());
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
}

std::vector<std::uint8_t> encryptionBlock(std::size_t paddingLength, std::size_t messageLength) {
  std::vector<std::uint8_t> block = {0x00, 0x02};
  block.insert(block.end(), paddingLength, 0x5A);
  block.push_back(0x00);
  block.insert(block.end(), messageLength, 0x11);
  return block;
}

TEST(EncryptionBlock, TheMessageAfterTheSeparatorComesOut) {
  const auto message = unpadEncryptionBlock(encryptionBlock(100, 25));
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->size(), 25u);
  const auto empty = unpadEncryptionBlock(encryptionBlock(125, 0));
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->empty());
}

TEST(EncryptionBlock, MalformedBlocksAreRefused) {
  EXPECT_FALSE(unpadEncryptionBlock(encryptionBlock(7, 118)).has_value());  // padding too short
  auto wrongType = encryptionBlock(100, 25);
  wrongType[1] = 0x01;
  EXPECT_FALSE(unpadEncryptionBlock(wrongType).has_value());
  auto leadingByte = encryptionBlock(100, 25);
  leadingByte[0] = 0x01;
  EXPECT_FALSE(unpadEncryptionBlock(leadingByte).has_value());
  std::vector<std::uint8_t> noSeparator = {0x00, 0x02};
  noSeparator.insert(noSeparator.end(), 126, 0x77);
  EXPECT_FALSE(unpadEncryptionBlock(noSeparator).has_value());
}

}  // namespace
}  // namespace tkp30

#include "io/hex.h"

#include <gtest/gtest.h>

namespace tkp30 {
namespace {

TEST(Hex, PairsWithBlanksBetweenThemParse) {
  const auto bytes = parseHex("de ad\nBE ef");
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(toHex(*bytes), "deadbeef");
  EXPECT_EQ(parseHex("")->size(), 0u);
  EXPECT_EQ(parseHex("de:ad:BE:ef"), bytes);
  EXPECT_FALSE(parseHex("d:e").has_value());  // a colon inside a pair
}

TEST(Hex, AnythingElseIsRefusedAndLeavesTheSecretUntouched) {
  EXPECT_FALSE(parseHex("abc").has_value());   // odd number of digits
  EXPECT_FALSE(parseHex("a bc").has_value());  // a blank inside a pair
  EXPECT_FALSE(parseHex("0g").has_value());
  EXPECT_FALSE(parseHex("0x11").has_value());

  common::SecretBytes key;
  ASSERT_TRUE(parseHex("0102", key));
  EXPECT_FALSE(parseHex("01z2", key));
  EXPECT_EQ(key.size(), 2u);
  EXPECT_EQ(key.data()[1], 0x02);
}

}  // namespace
}  // namespace tkp30

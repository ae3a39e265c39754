// Bytes that may hold PINs and keys: they grow without leaving their
// content behind, and keep it.
#include "common/secret_bytes.h"

#include <gtest/gtest.h>

namespace {

TEST(SecretBytes, GrowingKeepsTheContent) {
  common::SecretBytes bytes;
  for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
  ASSERT_EQ(bytes.size(), 300u);
  EXPECT_EQ(bytes.data()[299], static_cast<std::uint8_t>(299));
  bytes.resize(1000);
  EXPECT_EQ(bytes.data()[0], 0);
  EXPECT_EQ(bytes.data()[255], 255);
}

}  // namespace

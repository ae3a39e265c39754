// The command builder's layouts and its refusal to overrun.
#include <gtest/gtest.h>

#include <vector>

#include "device/apdu.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(dal::Apdu& apdu) {
  auto b = apdu.bytes();
  return Bytes(b.begin(), b.end());
}

TEST(Apdu, Layouts) {
  dal::Apdu le(0x00, 0x84, 0x00, 0x00);
  le.le(0x08);
  EXPECT_EQ(bytesOf(le), (Bytes{0x00, 0x84, 0x00, 0x00, 0x08}));

  dal::Apdu data(0x00, 0xA4, 0x02, 0x00);
  data.appendId(0x1FF4);
  EXPECT_EQ(bytesOf(data), (Bytes{0x00, 0xA4, 0x02, 0x00, 0x02, 0xF4, 0x1F}));

  dal::Apdu both(0x80, 0xC4, 0x00, 0x00);
  both.append(Bytes(16, 0xAA)).le(0x10);
  const Bytes b = bytesOf(both);
  ASSERT_EQ(b.size(), 22u);
  EXPECT_EQ(b[4], 0x10);
  EXPECT_EQ(b[21], 0x10);
}

TEST(Apdu, DataPastTwoHundredFiftyFiveBytesIsRefused) {
  dal::Apdu full(0x00, 0xD6, 0x00, 0x00);
  full.append(Bytes(255, 1));
  EXPECT_TRUE(full.ok());
  EXPECT_EQ(bytesOf(full).size(), 260u);
  full.append(uint8_t{2});
  EXPECT_FALSE(full.ok());
  EXPECT_EQ(bytesOf(full).size(), 260u);

  dal::Apdu big(0x00, 0xD6, 0x00, 0x00);
  big.append(Bytes(300, 1));
  EXPECT_FALSE(big.ok());
}

}  // namespace

// The APDU trace: line format, and masking of PINs and keys.
#include <gtest/gtest.h>

#include <vector>

#include "trace.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(Trace, CommandsAndResponsesInHex) {
  const Bytes select = {0x00, 0xA4, 0x02, 0x00, 0x02, 0xF3, 0x1F};
  EXPECT_EQ(dmcos::formatCommand(2, select), "slot 2 > 00 A4 02 00 02 F3 1F");
  const Bytes data = {0xDE, 0xAD};
  EXPECT_EQ(dmcos::formatResponse(2, data, 0x9000, false), "slot 2 < DE AD SW=9000");
  EXPECT_EQ(dmcos::formatResponse(1, {}, 0x6A82, false), "slot 1 < SW=6A82");
  EXPECT_EQ(dmcos::formatResponse(1, data, 0x9000, true), "slot 1 < [2 bytes masked] SW=9000");
  EXPECT_EQ(dmcos::formatNotCarried(3), "slot 3 < not carried");
}

TEST(Trace, SecretsAreMasked) {
  const std::vector<Bytes> secret = {
      {0x00, 0x20, 0x11, 0x00, 0x04, '1', '2', '3', '4'},               // VERIFY
      {0x80, 0x5E, 0x01, 0x11, 0x06, 0x81, 0x01, '1', 0x82, 0x01, '2'},  // CHANGE PIN
      {0x84, 0x24, 0x11, 0x00, 0x04, 1, 2, 3, 4},                        // PIN reload
      {0x80, 0xD4, 0x00, 0x00, 0x03, 0x10, 0x03, 0x00},                  // WRITE KEY
      {0x80, 0x76, 0x00, 0x03, 0x02, 0xAB, 0xCD},                        // IMPORT RSA
      {0x80, 0xC2, 0x40, 0x08, 0x02, 0x55, 0x66},                        // SSF33 LOAD KEY
      {0x80, 0xC4, 0x00, 0x00, 0x02, 0x31, 0x32, 0x10},                  // SSF33 CIPHER BLOCK
  };
  for (const Bytes& c : secret) {
    const std::string line = dmcos::formatCommand(1, c);
    EXPECT_NE(line.find("bytes masked]"), std::string::npos) << line;
    EXPECT_EQ(line.find(" 31 32"), std::string::npos) << line;
    EXPECT_TRUE(dmcos::commandCarriesSecret(c));
  }
  EXPECT_EQ(dmcos::formatCommand(1, secret[0]), "slot 1 > 00 20 11 00 04 [4 bytes masked]");
  EXPECT_FALSE(dmcos::commandCarriesSecret(Bytes{0x00, 0x84, 0x00, 0x00, 0x08}));
  EXPECT_TRUE(dmcos::responseCarriesSecret(Bytes{0x80, 0x72, 0x20, 0x08, 0x80}));
  EXPECT_TRUE(dmcos::responseCarriesSecret(Bytes{0x80, 0xC4, 0x00, 0x00, 0x10}));
}

}  // namespace

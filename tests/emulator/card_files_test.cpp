// The file system of the emulated card, by raw APDU.
#include <gtest/gtest.h>

#include "support/emu_token.h"

using namespace emu_test;

namespace {

class CardFiles : public ::testing::Test {
 protected:
  TempDir dir;
  Card card{dir.file("token.img")};
};

TEST_F(CardFiles, BlankTokenHasNoMfAndFormattingBuildsTheLayout) {
  EXPECT_EQ(card.sw("00 A4 00 00 02 3F 00"), 0x6A82);
  EXPECT_EQ(card.sw("00 A4 02 00 02 F4 1F"), 0x6A82);
  // A blank card has no external authentication key: DELETE FILE is free.
  EXPECT_EQ(card.sw("00 E4 00 00 08 FF FF FF FF FF FF FF FF"), 0x9000);
  ASSERT_TRUE(card.format("12345678", "654321"));
  EXPECT_EQ(card.sw("00 A4 00 00 02 3F 00"), 0x9000);
  EXPECT_EQ(card.sw("00 A4 04 00 02 4D 46"), 0x9000);
  EXPECT_EQ(card.sw("00 A4 04 00 02 4D 47"), 0x6A82);
  EXPECT_EQ(card.sw("00 A4 02 00 02 F4 1F"), 0x9000);
  auto r = card.send(hex("00 B0 00 00 08"));
  EXPECT_EQ(r.sw, 0x9000);
  EXPECT_EQ(card.data(r), hex("00 00 00 00 00 00 00 00"));
  // A second MF, or a file that exists, is refused.
  EXPECT_EQ(card.sw("80 E0 00 00 0F 08 5A 00 00 00 FF FF FF FF FF FF FF FF 4D 46"), 0x6A89);
  EXPECT_EQ(card.sw("80 E0 02 00 09 21 F4 1F 00 08 0F 1F 5A 0F"), 0x6A89);
  EXPECT_EQ(card.sw("80 E0 02 00 09 25 01 00 20 18 0F 0F 0F 0F"), 0x6A89);  // second key file
}

TEST_F(CardFiles, ReadAndUpdateStayInsideTheFile) {
  ASSERT_TRUE(card.format("12345678", "654321"));
  EXPECT_EQ(card.sw("80 E0 02 00 09 21 05 04 00 0A F0 F0 0F 0F"), 0x9000);
  EXPECT_EQ(card.sw("00 A4 02 00 02 05 04"), 0x9000);
  EXPECT_EQ(card.sw("00 D6 00 02 03 AA BB CC"), 0x9000);
  auto r = card.send(hex("00 B0 00 01 05"));
  EXPECT_EQ(r.sw, 0x9000);
  EXPECT_EQ(card.data(r), hex("00 AA BB CC 00"));
  EXPECT_EQ(card.sw("00 B0 00 0A 01"), 0x6B00);   // offset at the end
  EXPECT_EQ(card.sw("00 B0 01 00 01"), 0x6B00);   // far outside
  EXPECT_EQ(card.sw("00 B0 00 08 03"), 0x6700);   // runs past the end
  EXPECT_EQ(card.sw("00 D6 00 0A 01 11"), 0x6B00);
  EXPECT_EQ(card.sw("00 D6 00 09 02 11 22"), 0x6700);
  EXPECT_EQ(card.sw("00 D6 00 00"), 0x6700);       // no data
  r = card.send(hex("00 B0 00 08 00"));           // Le 00: what the file holds
  EXPECT_EQ(r.sw, 0x9000);
  EXPECT_EQ(r.len, 2u);
  r = card.send(hex("00 B0 00 00"));              // Le missing: same, leniently
  EXPECT_EQ(r.len, 10u);
  // Key and RSA files are not transparent.
  EXPECT_EQ(card.sw("00 A4 02 00 02 00 08"), 0x9000);
  EXPECT_EQ(card.sw("00 B0 00 00 04"), 0x6981);
}

TEST_F(CardFiles, FailedSelectionLeavesNoCurrentFile) {
  ASSERT_TRUE(card.format("12345678", "654321"));
  EXPECT_EQ(card.sw("00 A4 02 00 02 F4 1F"), 0x9000);
  EXPECT_EQ(card.sw("00 A4 02 00 02 07 04"), 0x6A82);
  // The previously selected file must not be read or written now.
  EXPECT_EQ(card.sw("00 B0 00 00 02"), 0x6986);
  EXPECT_EQ(card.sw("00 D6 00 00 02 01 00"), 0x6986);
  EXPECT_EQ(card.sw("00 A4 00 00 02 3F 00"), 0x9000);
  EXPECT_EQ(card.sw("00 B0 00 00 02"), 0x6986);  // the MF is no EF
}

TEST_F(CardFiles, AccessBytesFollowTheSecurityState) {
  ASSERT_TRUE(card.format("12345678", "654321"));
  const Bytes user = cat({hex("00 20 11 00 06"), bytesOf("654321")});
  const Bytes super = cat({hex("00 20 10 00 08"), bytesOf("12345678")});
  const Bytes logout = cat({hex("00 20 0F 00 08"), bytesOf(kLogoutPin)});
  auto readProbe = [&](const char* select) {
    card.sw(select);
    return card.sw("00 B0 00 00 02");
  };
  const char* userProbe = "00 A4 02 00 02 F5 1F";
  const char* superProbe = "00 A4 02 00 02 F6 1F";
  EXPECT_EQ(readProbe(userProbe), 0x6982);
  EXPECT_EQ(readProbe(superProbe), 0x6982);
  EXPECT_EQ(card.send(user).sw, 0x9000);
  EXPECT_EQ(readProbe(userProbe), 0x9000);
  EXPECT_EQ(readProbe(superProbe), 0x6982);
  // 0x1F (the counter file's write byte) opens to any PIN.
  card.sw("00 A4 02 00 02 F4 1F");
  EXPECT_EQ(card.sw("00 D6 00 00 02 01 00"), 0x9000);
  EXPECT_EQ(card.send(super).sw, 0x9000);
  EXPECT_EQ(readProbe(superProbe), 0x9000);
  EXPECT_EQ(readProbe(userProbe), 0x6982);
  card.sw("00 A4 02 00 02 F4 1F");
  EXPECT_EQ(card.sw("00 D6 00 00 02 02 00"), 0x9000);
  EXPECT_EQ(card.send(logout).sw, 0x9000);
  EXPECT_EQ(readProbe(superProbe), 0x6982);
  card.sw("00 A4 02 00 02 F4 1F");
  EXPECT_EQ(card.sw("00 D6 00 00 02 03 00"), 0x6982);
  // 0x5A opens to the user PIN only, not to the super PIN.
  EXPECT_EQ(card.sw("80 E0 02 00 09 21 02 02 00 04 5A 5A 0F 0F"), 0x9000);
  EXPECT_EQ(card.sw("00 B0 00 00 01"), 0x6982);
  EXPECT_EQ(card.send(super).sw, 0x9000);
  EXPECT_EQ(card.sw("00 B0 00 00 01"), 0x6982);
  EXPECT_EQ(card.send(user).sw, 0x9000);
  EXPECT_EQ(card.sw("00 B0 00 00 01"), 0x9000);
  EXPECT_EQ(card.send(logout).sw, 0x9000);
  // 0xF0 and 0x0F are free.
  EXPECT_EQ(card.sw("80 E0 02 00 09 21 01 02 00 04 F0 F0 0F 0F"), 0x9000);
  EXPECT_EQ(card.sw("00 D6 00 00 01 7E"), 0x9000);
  // Power-down forgets the login.
  EXPECT_EQ(card.send(user).sw, 0x9000);
  card.token().powerCycle();
  EXPECT_EQ(readProbe(userProbe), 0x6982);
}

TEST_F(CardFiles, SpaceIsBounded) {
  ASSERT_TRUE(card.format("12345678", "654321"));
  int created = 0;
  std::uint16_t sw = 0x9000;
  for (std::uint8_t i = 0; i < 8 && sw == 0x9000; ++i) {
    sw = card.send(cat({hex("80 E0 02 00 09 21"), {i, 0x06}, hex("20 00 F0 F0 0F 0F")})).sw;
    if (sw == 0x9000) ++created;
  }
  EXPECT_EQ(sw, 0x6A84);
  EXPECT_EQ(created, 7);  // 7 × 8 KiB fit beside the layout, the 8th does not
  EXPECT_EQ(card.sw("80 E0 02 00 09 21 00 07 00 10 F0 F0 0F 0F"), 0x9000);  // small still fits
}

TEST_F(CardFiles, DeleteNeedsExternalAuthentication) {
  ASSERT_TRUE(card.format("12345678", "654321"));
  EXPECT_EQ(card.sw("00 E4 00 00 08 FF FF FF FF FF FF FF FF"), 0x6982);
  EXPECT_EQ(card.externalAuthenticate(bytesOf("TZHNWQXVRKBMJLC6")), 0x6982);  // wrong key
  EXPECT_EQ(card.sw("00 E4 00 00 08 FF FF FF FF FF FF FF FF"), 0x6982);
  EXPECT_EQ(card.externalAuthenticate(bytesOf(kExtAuthKey)), 0x9000);
  EXPECT_EQ(card.sw("00 E4 00 00 08 FF FF FF FF FF FF FF FE"), 0x6A80);
  EXPECT_EQ(card.sw("00 E4 00 00 08 FF FF FF FF FF FF FF FF"), 0x9000);
  EXPECT_EQ(card.sw("00 A4 00 00 02 3F 00"), 0x6A82);
  // The authentication does not survive a power cycle.
  ASSERT_TRUE(card.format("12345678", "654321"));
  card.token().powerCycle();
  EXPECT_EQ(card.sw("00 E4 00 00 08 FF FF FF FF FF FF FF FF"), 0x6982);
}

TEST_F(CardFiles, MalformedCommandsAreRefused) {
  ASSERT_TRUE(card.format("12345678", "654321"));
  EXPECT_EQ(card.sw("00 A4"), 0x6700);
  EXPECT_EQ(card.sw("00 A4 02 00 03 F4 1F"), 0x6700);       // Lc larger than the data
  EXPECT_EQ(card.sw("00 A4 02 00 03 F4 1F 00 00 00"), 0x6700);
  EXPECT_EQ(card.sw("00 A4 02 00 03 F4 1F 00"), 0x6700);    // three bytes of identifier
  EXPECT_EQ(card.sw("10 A4 00 00 02 3F 00"), 0x6E00);
  EXPECT_EQ(card.sw("80 A4 00 00 02 3F 00"), 0x6E00);       // ISO command with class 80
  EXPECT_EQ(card.sw("00 FE 00 00"), 0x6D00);
  EXPECT_EQ(card.sw("00 A4 07 00 02 3F 00"), 0x6A86);
  EXPECT_EQ(card.sw("80 E0 03 00 09 21 05 04 00 0A F0 F0 0F 0F"), 0x6A86);
  EXPECT_EQ(card.sw("80 E0 02 00 08 21 05 04 00 0A F0 F0 0F"), 0x6700);
  EXPECT_EQ(card.sw("80 E0 02 00 09 22 05 04 00 0A F0 F0 0F 0F"), 0x6A80);  // unknown type
}

}  // namespace

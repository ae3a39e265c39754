// PINs, keys, challenges and the secured PIN reload, by raw APDU.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "support/child_process.h"
#include "support/emu_token.h"

using namespace emu_test;

namespace {

class CardPins : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(card.format("12345678", "654321")); }
  Bytes verify(std::uint8_t ref, const std::string& pin) {
    return cat({{0x00, 0x20, ref, 0x00, static_cast<std::uint8_t>(pin.size())}, bytesOf(pin)});
  }
  Bytes change(std::uint8_t ref, const std::string& oldPin, const std::string& newPin) {
    return cat({{0x80, 0x5E, 0x01, ref, static_cast<std::uint8_t>(oldPin.size() + newPin.size() + 4),
                 0x81, static_cast<std::uint8_t>(oldPin.size())},
                bytesOf(oldPin), {0x82, static_cast<std::uint8_t>(newPin.size())}, bytesOf(newPin)});
  }
  bool userLoggedIn() {
    card.sw("00 A4 02 00 02 F5 1F");
    return card.sw("00 B0 00 00 02") == 0x9000;
  }
  TempDir dir;
  Card card{dir.file("token.img")};
};

TEST_F(CardPins, WrongPinsCountDownBlockAndAreResetByTheRightOne) {
  EXPECT_EQ(card.send(verify(0x11, "000000")).sw, 0x63CE);
  EXPECT_EQ(card.send(verify(0x11, "000000")).sw, 0x63CD);
  EXPECT_EQ(card.sw("00 20 11 00"), 0x63CD);  // a query consumes nothing
  EXPECT_EQ(card.send(verify(0x11, "654321")).sw, 0x9000);
  EXPECT_EQ(card.sw("00 20 11 00"), 0x9000);  // the PIN verified now
  EXPECT_EQ(card.sw("00 20 0F 00"), 0x63CF);  // the logout PIN is never "verified"
  // Another PIN, without a security state of its own.
  ASSERT_EQ(card.send(cat({hex("80 D4 00 00 0A 12 03 00 00 00 00 00 33"), bytesOf("ab")})).sw, 0x9000);
  EXPECT_EQ(card.send(verify(0x12, "ab")).sw, 0x9000);
  EXPECT_EQ(card.sw("00 20 12 00"), 0x63C3);
  EXPECT_EQ(card.send(verify(0x11, "654321")).sw, 0x9000);
  EXPECT_EQ(card.send(verify(0x11, "00000")).sw, 0x63CE);  // reset to 15, then one less
  EXPECT_FALSE(userLoggedIn());  // a refused VERIFY ends the login
  // The super PIN has 10 tries: block it.
  for (int left = 9; left >= 1; --left)
    EXPECT_EQ(card.send(verify(0x10, "x")).sw, 0x63C0 + left);
  EXPECT_EQ(card.send(verify(0x10, "x")).sw, 0x63C0);
  EXPECT_EQ(card.send(verify(0x10, "12345678")).sw, 0x6983);
  EXPECT_EQ(card.send(change(0x10, "12345678", "1")).sw, 0x6983);
  EXPECT_EQ(card.send(verify(0x13, "x")).sw, 0x6A88);
  EXPECT_EQ(card.send(verify(0x01, "x")).sw, 0x6A88);  // a key, not a PIN
  EXPECT_EQ(card.sw("00 20 11 01 01 00"), 0x6A86);
}

TEST_F(CardPins, TriesSurviveReopeningAndPowerCycles) {
  EXPECT_EQ(card.send(verify(0x11, "0")).sw, 0x63CE);
  card.token().powerCycle();
  Card again(dir.file("token.img"));
  EXPECT_EQ(again.send(verify(0x11, "0")).sw, 0x63CD);
}

TEST_F(CardPins, ChangePin) {
  EXPECT_EQ(card.send(change(0x11, "654321", "abcdefgh")).sw, 0x9000);
  EXPECT_EQ(card.send(verify(0x11, "654321")).sw, 0x63CE);
  EXPECT_EQ(card.send(change(0x11, "654321", "zz")).sw, 0x63CD);
  EXPECT_EQ(card.send(verify(0x11, "abcdefgh")).sw, 0x9000);
  EXPECT_TRUE(userLoggedIn());
  EXPECT_EQ(card.sw("80 5E 01 11 05 81 01 41 82 00"), 0x6A80);     // empty new PIN
  EXPECT_EQ(card.sw("80 5E 01 11 06 81 01 41 82 02 42"), 0x6700);  // lengths disagree
  EXPECT_EQ(card.sw("80 5E 01 11 06 80 01 41 82 01 42"), 0x6A80);  // bad tag
  EXPECT_EQ(card.sw("80 5E 02 11 06 81 01 41 82 01 42"), 0x6A86);
}

TEST_F(CardPins, SecuredReloadInstallsThePinWithFullTries) {
  for (int i = 0; i < 15; ++i) card.send(verify(0x11, "bad"));
  EXPECT_EQ(card.send(verify(0x11, "654321")).sw, 0x6983);
  // Without the super PIN the reload is refused, even with a good MAC.
  EXPECT_EQ(card.reloadPin(0x11, "newpin"), 0x6982);
  ASSERT_EQ(card.send(verify(0x10, "12345678")).sw, 0x9000);
  EXPECT_EQ(card.reloadPin(0x11, "newpin", /*corruptMac=*/true), 0x6988);
  EXPECT_EQ(card.send(verify(0x11, "newpin")).sw, 0x6983);  // nothing changed
  ASSERT_EQ(card.send(verify(0x10, "12345678")).sw, 0x9000);
  EXPECT_EQ(card.reloadPin(0x11, "newpin"), 0x9000);
  EXPECT_EQ(card.send(verify(0x11, "newpin")).sw, 0x9000);
  // 7 bytes: the length byte fills the block, no 0x80; 8 to 15 bytes: two blocks.
  ASSERT_EQ(card.send(verify(0x10, "12345678")).sw, 0x9000);
  EXPECT_EQ(card.reloadPin(0x11, "1234567"), 0x9000);
  EXPECT_EQ(card.send(verify(0x11, "1234567")).sw, 0x9000);
  ASSERT_EQ(card.send(verify(0x10, "12345678")).sw, 0x9000);
  EXPECT_EQ(card.reloadPin(0x11, "123456789012345"), 0x9000);
  EXPECT_EQ(card.send(verify(0x11, "123456789012345")).sw, 0x9000);
  // Without a challenge just before it, the reload cannot be checked.
  EXPECT_EQ(card.sw("84 24 11 00 0C 00 00 00 00 00 00 00 00 00 00 00 00"), 0x6985);
  EXPECT_EQ(card.sw("84 24 11 00 0B 00 00 00 00 00 00 00 00 00 00 00"), 0x6700);
}

// On a disk that takes no more writes (a file size limit below the image's
// size, in a child), a PIN is compared only once its try is recorded:
// right and wrong PINs alike answer 6581, and nothing changes, the
// security state included.
TEST_F(CardPins, AFullDiskGivesNoFreeGuesses) {
  const std::string img = dir.file("token.img");
  ASSERT_EQ(card.send(verify(0x10, "12345678")).sw, 0x9000);
  const int rc = testproc::reap(testproc::spawn([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit full{1024, 1024};
    if (::setrlimit(RLIMIT_FSIZE, &full) != 0) return 9;
    Card onFullDisk(img);
    if (onFullDisk.send(verify(0x11, "000000")).sw != 0x6581) return 1;
    if (onFullDisk.send(verify(0x11, "654321")).sw != 0x6581) return 2;
    if (onFullDisk.send(change(0x11, "000000", "111111")).sw != 0x6581) return 3;
    if (onFullDisk.send(change(0x11, "654321", "111111")).sw != 0x6581) return 4;
    if (onFullDisk.reloadPin(0x11, "222222") != 0x6581) return 5;
    return onFullDisk.sw("00 20 10 00") == 0x9000 ? 0 : 6;  // the super PIN still verified
  }));
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(card.sw("00 20 11 00"), 0x63CF);  // no try spent
  EXPECT_EQ(card.send(verify(0x11, "654321")).sw, 0x9000);  // the PIN unchanged
}

TEST_F(CardPins, ChallengeIsValidForTheNextCommandOnly) {
  const Bytes key = bytesOf(kExtAuthKey);
  for (std::uint8_t le : {std::uint8_t{1}, std::uint8_t{8}, std::uint8_t{78}, std::uint8_t{255}}) {
    auto r = card.send({0x00, 0x84, 0x00, 0x00, le});
    EXPECT_EQ(r.sw, 0x9000);
    EXPECT_EQ(r.len, le);
  }
  EXPECT_EQ(card.sw("00 84 00 00 00"), 0x6700);
  EXPECT_EQ(card.send(hex("00 84 00 00")).len, 8u);  // no Le: 8 bytes
  auto r = card.send(hex("00 84 00 00 08"));
  const Bytes crypt = tdesEcbEncrypt(key, card.data(r));
  card.sw("00 A4 00 00 02 3F 00");  // another command in between
  EXPECT_EQ(card.send(cat({hex("00 82 00 01 08"), crypt})).sw, 0x6985);
  EXPECT_EQ(card.externalAuthenticate(key, 0x07), 0x6A88);
  EXPECT_EQ(card.externalAuthenticate(key), 0x9000);
  EXPECT_EQ(card.sw("00 82 00 01 07 00 00 00 00 00 00 00"), 0x6700);
}

TEST_F(CardPins, RewritingAKeyNeedsExternalAuthentication) {
  const Bytes rewrite = cat({hex("80 D4 00 00 18 06 06 00 01 0F 01 0F FF"), bytesOf("AAAAAAAAAAAAAAAA")});
  EXPECT_EQ(card.send(rewrite).sw, 0x6982);
  EXPECT_EQ(card.sw("80 D4 00 00 0A 07 06 00 01 0F 01 0F FF 01 02"), 0x9000);  // a new key is free
  EXPECT_EQ(card.sw("80 D4 00 00 07 07 06 00 01 0F 01 0F"), 0x6700);
  ASSERT_EQ(card.externalAuthenticate(bytesOf(kExtAuthKey)), 0x9000);
  EXPECT_EQ(card.send(rewrite).sw, 0x9000);
  // The unlock key changed: a reload built with the old one fails its MAC.
  ASSERT_EQ(card.send(verify(0x10, "12345678")).sw, 0x9000);
  EXPECT_EQ(card.reloadPin(0x11, "newpin"), 0x6988);
}

TEST_F(CardPins, WriteKeyWithoutKeyFileIsRefused) {
  ASSERT_EQ(card.externalAuthenticate(bytesOf(kExtAuthKey)), 0x9000);
  ASSERT_EQ(card.sw("00 E4 00 00 08 FF FF FF FF FF FF FF FF"), 0x9000);
  EXPECT_EQ(card.sw("80 D4 00 00 0A 07 06 00 01 0F 01 0F FF 01 02"), 0x6A82);
  EXPECT_EQ(card.sw("00 20 11 00 01 00"), 0x6A88);
}

}  // namespace

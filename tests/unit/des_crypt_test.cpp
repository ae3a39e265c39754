// The secured commands' DES against published known-answer vectors
// (FIPS 81 examples and the classic worked example of the DES standard).
#include "card/des_crypt.h"

#include <gtest/gtest.h>

#include <vector>

#include "card/challenge.h"
#include "support/hex_bytes.h"
#include "support/scripted_device.h"

using testhex::bytes;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes run(const Bytes& key, Bytes iv, const Bytes& input, int direction, std::uint32_t mode) {
  Bytes out(input.size());
  EXPECT_EQ(dal::DalDesCrypt(key, iv, input, out, direction, mode), 0);
  return out;
}

TEST(DesCryptTest, SingleDesEcbMatchesPublishedVectors) {
  const Bytes key = bytes("01 23 45 67 89 AB CD EF");
  const Bytes plain = bytes("4E 6F 77 20 69 73 20 74");  // "Now is t"
  EXPECT_EQ(run(key, {}, plain, dal::kDesEncrypt, dal::kDesEcb), bytes("3F A4 0E 8A 98 4D 48 15"));
  EXPECT_EQ(run(key, {}, bytes("3F A4 0E 8A 98 4D 48 15"), dal::kDesDecrypt, dal::kDesEcb), plain);
  EXPECT_EQ(run(bytes("13 34 57 79 9B BC DF F1"), {}, bytes("01 23 45 67 89 AB CD EF"),
                dal::kDesEncrypt, dal::kDesEcb),
            bytes("85 E8 13 54 0F 0A B4 05"));
}

TEST(DesCryptTest, CbcMatchesPublishedVectorAndLeavesLastBlockInIv) {
  const Bytes key = bytes("01 23 45 67 89 AB CD EF");
  const Bytes plain = bytes("4E6F7720 69732074 68652074 696D6520 666F7220 616C6C20");
  const Bytes cipher = bytes("E5C7CDDE 872BF27C 43E93400 8C389C0F 683788499A7C05F6");
  Bytes iv = bytes("12 34 56 78 90 AB CD EF");
  Bytes out(plain.size());
  EXPECT_EQ(dal::DalDesCrypt(key, iv, plain, out, dal::kDesEncrypt, dal::kDesCbc), 0);
  EXPECT_EQ(out, cipher);
  EXPECT_EQ(iv, bytes("68 37 88 49 9A 7C 05 F6"));

  iv = bytes("12 34 56 78 90 AB CD EF");
  EXPECT_EQ(dal::DalDesCrypt(key, iv, cipher, out, dal::kDesDecrypt, dal::kDesCbc), 0);
  EXPECT_EQ(out, plain);
}

TEST(DesCryptTest, TwoKeyTripleDesIsEdeOverSingleDes) {
  const Bytes k1 = bytes("01 23 45 67 89 AB CD EF");
  const Bytes plain = bytes("4E 6F 77 20 69 73 20 74 4E 6F 77 20 69 73 20 74");
  Bytes doubled = k1;
  doubled.insert(doubled.end(), k1.begin(), k1.end());
  EXPECT_EQ(run(doubled, {}, plain, dal::kDesEncrypt, dal::kDes3Ecb),
            run(k1, {}, plain, dal::kDesEncrypt, dal::kDesEcb));

  const Bytes k2 = bytes("FE DC BA 98 76 54 32 10");
  Bytes key = k1;
  key.insert(key.end(), k2.begin(), k2.end());
  const Bytes ede = run(k1, {}, run(k2, {}, run(k1, {}, plain, 1, dal::kDesEcb), 0, dal::kDesEcb),
                        1, dal::kDesEcb);
  EXPECT_EQ(run(key, {}, plain, dal::kDesEncrypt, dal::kDes3Ecb), ede);
  EXPECT_EQ(run(key, {}, ede, dal::kDesDecrypt, dal::kDes3Ecb), plain);

  Bytes inPlace = plain;
  EXPECT_EQ(dal::DalDesCrypt(key, {}, inPlace, inPlace, dal::kDesEncrypt, dal::kDes3Ecb), 0);
  EXPECT_EQ(inPlace, ede);
}

TEST(DesCryptTest, RefusesWhatItCannotComputeAndTouchesNothing) {
  const Bytes key(16, 0x11);
  Bytes iv(8, 0);
  const Bytes input(16, 0x22);
  Bytes out(16, 0xEE);
  EXPECT_EQ(dal::DalDesCrypt(key, iv, input, out, 1, 2), -1);
  EXPECT_EQ(dal::DalDesCrypt(key, iv, input, out, 1, 4), -1);
  EXPECT_EQ(dal::DalDesCrypt(Bytes(8, 1), iv, input, out, 1, dal::kDes3Ecb), -1);
  EXPECT_EQ(dal::DalDesCrypt(key, iv, Bytes(12, 0), out, 1, dal::kDesEcb), -1);
  EXPECT_EQ(dal::DalDesCrypt(key, iv, input, std::span(out).first(8), 1, dal::kDesEcb), -1);
  EXPECT_EQ(dal::DalDesCrypt(key, {}, input, out, 1, dal::kDesCbc), -1);
  EXPECT_EQ(out, Bytes(16, 0xEE));
  EXPECT_EQ(dal::DalDesCrypt(key, iv, {}, out, 1, dal::kDesEcb), 0);
  EXPECT_EQ(out, Bytes(16, 0xEE));
}

TEST(ChallengeTest, SentDirectlyAndCopiedFromTheResponse) {
  scripted::reset();
  scripted::pushSw(0x9000, bytes("01 02 03 04 05 06 07 08"));
  std::array<std::uint8_t, 8> challenge{};
  EXPECT_EQ(dal::CosGetChallenge(challenge), 0);
  EXPECT_EQ(Bytes(challenge.begin(), challenge.end()), bytes("01 02 03 04 05 06 07 08"));

  scripted::reset();
  scripted::pushSw(0x6108);
  std::array<std::uint8_t, 4> four{9, 9, 9, 9};
  EXPECT_EQ(dal::CosGetChallenge(four), 0);
  EXPECT_EQ(scripted::commands(), std::vector<Bytes>{bytes("00 84 00 00 04")});
  EXPECT_EQ(Bytes(four.begin(), four.end()), Bytes(4, 0));

  scripted::reset();
  scripted::pushNotCarried();
  EXPECT_EQ(dal::CosGetChallenge(challenge), 0);
  EXPECT_EQ(scripted::commands(), std::vector<Bytes>{bytes("00 84 00 00 08")});
  EXPECT_EQ(Bytes(challenge.begin(), challenge.end()), Bytes(8, 0));
}

}  // namespace

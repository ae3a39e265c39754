// PIN change and the secured unlock, with the reload's cryptogram and
// retail MAC recomputed here by hand from libcrypto's block primitives.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/des.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "norv_dal_tkp30.h"
#include "support/hex_bytes.h"
#include "support/log_reader.h"
#include "support/scripted_device.h"

using testhex::bytes;
using testhex::concat;
using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes kUnlockKey = testhex::ascii("HVQTRMZWBXPLJDSE");
const Bytes kSuperPin = testhex::ascii("11223344");
const Bytes kChallenge = bytes("A1 B2 C3 D4");

Bytes des1(const Bytes& key8, Bytes block, int enc) {
  DES_cblock k;
  std::copy_n(key8.begin(), 8, k);
  DES_key_schedule ks;
  DES_set_key_unchecked(&k, &ks);
  DES_cblock in, out;
  std::copy_n(block.begin(), 8, in);
  DES_ecb_encrypt(&in, &out, &ks, enc);
  return Bytes(out, out + 8);
}

Bytes tdesEcbEncrypt(const Bytes& key16, const Bytes& data) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  Bytes out(data.size() + 8);
  int n = 0, m = 0;
  EVP_EncryptInit_ex(ctx, EVP_des_ede_ecb(), nullptr, key16.data(), nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EVP_EncryptUpdate(ctx, out.data(), &n, data.data(), static_cast<int>(data.size()));
  EVP_EncryptFinal_ex(ctx, out.data() + n, &m);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(static_cast<std::size_t>(n + m));
  return out;
}

Bytes retailMac(const Bytes& key16, const Bytes& iv4, const Bytes& input) {
  const Bytes k1(key16.begin(), key16.begin() + 8), k2(key16.begin() + 8, key16.end());
  Bytes y = concat(iv4, Bytes(4, 0));
  for (std::size_t at = 0; at < input.size(); at += 8) {
    for (std::size_t i = 0; i < 8; ++i) y[i] ^= input[at + i];
    y = des1(k1, y, DES_ENCRYPT);
  }
  y = des1(k1, des1(k2, y, DES_DECRYPT), DES_ENCRYPT);
  return Bytes(y.begin(), y.begin() + 4);
}

// The reload command a card expects for `pin`, with its MAC input.
struct Reload {
  Bytes command;
  Bytes macInput;
};

Reload expectedReload(const Bytes& pin) {
  Bytes block = concat(Bytes{static_cast<std::uint8_t>(pin.size())}, pin);
  block.push_back(0x80);
  block.resize(pin.size() < 8 ? 8 : 16, 0x00);
  const Bytes cryptogram = tdesEcbEncrypt(kUnlockKey, block);
  const Bytes header = {0x84, 0x24, 0x11, 0x00, static_cast<std::uint8_t>(block.size() + 4)};
  Bytes macInput = concat(concat(header, cryptogram), {0x80});
  while (macInput.size() % 8 != 0) macInput.push_back(0x00);
  return {concat(concat(header, cryptogram), retailMac(kUnlockKey, kChallenge, macInput)),
          macInput};
}

class PinChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::reset();
    testlog::clear();
  }
  std::int32_t unlock(const Bytes& newPin) {
    return NORV_DAL_UnlockPin(kSuperPin.data(), static_cast<std::int32_t>(kSuperPin.size()),
                              newPin.data(), static_cast<std::int32_t>(newPin.size()));
  }
  std::int32_t changeAnswered(std::int32_t type, std::uint16_t sw) {
    scripted::reset();
    scripted::pushSw(sw);
    const Bytes oldPin = bytes("31 32 33"), newPin = bytes("34 35");
    return NORV_DAL_ChangePin(type, oldPin.data(), 3, newPin.data(), 2);
  }
};

TEST_F(PinChangeTest, ChangePinCarriesBothPinsAndMapsTheAnswer) {
  const Bytes oldPin = testhex::ascii("654321"), newPin = testhex::ascii("87654321");
  EXPECT_EQ(NORV_DAL_ChangePin(2, oldPin.data(), 6, newPin.data(), 8), 0);
  ASSERT_EQ(scripted::commands().size(), 1u);
  const Bytes expected = concat(concat(concat(bytes("80 5E 01 11 12 81 06"), oldPin),
                                       bytes("82 08")), newPin);
  EXPECT_EQ(expected.size(), 23u);
  EXPECT_TRUE(scripted::commands()[0] == expected);
  EXPECT_TRUE(testlog::texts().empty());

  EXPECT_EQ(changeAnswered(1, 0x6983), NORV_DAL_ERR_SUPER_PIN_LOCKED);
  EXPECT_EQ(scripted::commands()[0][3], 0x10);
  EXPECT_EQ(changeAnswered(2, 0x6983), NORV_DAL_ERR_USER_PIN_LOCKED);
  EXPECT_EQ(changeAnswered(2, 0x63C0), NORV_DAL_ERR_USER_PIN_LOCKED);
  EXPECT_EQ(changeAnswered(1, 0x63C3), 3);
  EXPECT_EQ(changeAnswered(2, 0x63CF), NORV_DAL_ERR_CHANGE_PIN);
  testlog::clear();
  EXPECT_EQ(changeAnswered(9, 0x6A88), NORV_DAL_ERR_CHANGE_PIN);
  EXPECT_EQ(scripted::commands()[0][3], 0xFF);
  EXPECT_EQ(testlog::texts(), std::vector<std::string>{"******>chk usr pin"});
}

TEST_F(PinChangeTest, ChangePinRefusesPinsTheCommandCannotHold) {
  const Bytes pins(52, '7');
  EXPECT_EQ(NORV_DAL_ChangePin(2, pins.data(), 26, pins.data(), 26), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_ChangePin(2, pins.data(), -1, pins.data(), 4), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_ChangePin(2, pins.data(), 4, nullptr, 4), NORV_DAL_ERR_PARAM);
  EXPECT_TRUE(scripted::commands().empty());
  EXPECT_EQ(NORV_DAL_ChangePin(2, pins.data(), 25, pins.data(), 26), 0);
  ASSERT_EQ(scripted::commands().size(), 1u);
  EXPECT_EQ(scripted::commands()[0].size(), 60u);
}

TEST_F(PinChangeTest, UnlockReloadsEncryptedPinWithRetailMac) {
  for (const Bytes& pin : {testhex::ascii("246810"), testhex::ascii("2468101"),
                           testhex::ascii("24681012"), testhex::ascii("246810121416182")}) {
    scripted::reset();
    testlog::clear();
    scripted::pushSw(0x9000);
    scripted::pushSw(0x9000, kChallenge);
    EXPECT_EQ(unlock(pin), 0);
    const Reload reload = expectedReload(pin);
    ASSERT_EQ(scripted::commands().size(), 3u);
    EXPECT_TRUE(scripted::commands()[0] == concat(bytes("00 20 10 00 08"), kSuperPin));
    EXPECT_EQ(scripted::commands()[1], bytes("00 84 00 00 04"));
    EXPECT_TRUE(scripted::commands()[2] == reload.command);
    EXPECT_EQ(scripted::commands()[2].size(), pin.size() <= 7 ? 17u : 25u);
    EXPECT_EQ(reload.macInput.size(), pin.size() <= 7 ? 16u : 24u);
    EXPECT_EQ(testlog::texts(), (std::vector<std::string>{"******>ReloadVerPin begin",
                                                          "******>ReloadVerPin Ok"}));
  }
}

TEST_F(PinChangeTest, UnlockStopsAtTheSuperPin) {
  const Bytes pin = testhex::ascii("246810");
  scripted::pushSw(0x63C1);
  EXPECT_EQ(unlock(pin), 1);
  EXPECT_EQ(scripted::commands().size(), 1u);
  EXPECT_EQ(testlog::texts(), std::vector<std::string>{"******>ReloadVerPin begin"});

  scripted::reset();
  scripted::pushSw(0x63C0);
  EXPECT_EQ(unlock(pin), NORV_DAL_ERR_SUPER_PIN_LOCKED);
  scripted::reset();
  scripted::pushSw(0x6983);
  EXPECT_EQ(unlock(pin), NORV_DAL_ERR_SUPER_PIN_LOCKED);

  scripted::reset();
  testlog::clear();
  scripted::pushSw(0x6A88);
  EXPECT_EQ(unlock(pin), NORV_DAL_ERR_UNLOCK_SUPER_PIN);
  EXPECT_EQ(scripted::commands().size(), 1u);
  EXPECT_EQ(testlog::texts(), (std::vector<std::string>{"******>ReloadVerPin begin",
                                                        "******>chk usr pin"}));
}

TEST_F(PinChangeTest, UnlockReportsARefusedOrLostReload) {
  const Bytes pin = testhex::ascii("246810");
  scripted::failCommand(3, scripted::Answer{0x6988, {}, true});
  EXPECT_EQ(unlock(pin), NORV_DAL_ERR_UNLOCK_PIN);
  EXPECT_EQ(testlog::texts(), (std::vector<std::string>{"******>ReloadVerPin begin",
                                                        "******>ReloadVerPin Error"}));
  scripted::reset();
  scripted::failCommand(3, scripted::Answer{0, {}, false});
  EXPECT_EQ(unlock(pin), NORV_DAL_ERR_UNLOCK_PIN);
  // A 61xx answer is final for the reload: no GET RESPONSE may follow it.
  scripted::reset();
  scripted::failCommand(3, scripted::Answer{0x6104, {}, true});
  EXPECT_EQ(unlock(pin), NORV_DAL_ERR_UNLOCK_PIN);
  EXPECT_EQ(scripted::commands().size(), 3u);
}

TEST_F(PinChangeTest, UnlockRefusesUnsafePinsBeforeSending) {
  const Bytes pin(16, '5');
  EXPECT_EQ(unlock(pin), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_UnlockPin(nullptr, 8, pin.data(), 6), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_UnlockPin(kSuperPin.data(), 8, pin.data(), -2), NORV_DAL_ERR_PARAM);
  EXPECT_TRUE(scripted::commands().empty());
  scripted::setOpenSlots({});
  testlog::clear();
  EXPECT_EQ(unlock(testhex::ascii("123456")), NORV_DAL_ERR_OPEN_DEVICE);
  EXPECT_EQ(testlog::texts(), (std::vector<std::string>{"******>ReloadVerPin begin",
                                                        "******>NORV_DAL_Initialize"}));
}

}  // namespace

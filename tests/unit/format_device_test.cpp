#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "norv_dal_tkp30.h"
#include "support/hex_bytes.h"
#include "support/log_reader.h"
#include "support/scripted_device.h"

using testhex::ascii;
using testhex::bytes;
using testhex::concat;
using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes kSuperPin = ascii("11223344");
const Bytes kUserPin = ascii("654321");
const Bytes kChallenge = bytes("10 32 54 76 98 BA DC FE");

Bytes tdesEncryptBlock(const Bytes& key16, const Bytes& block) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  Bytes out(16);
  int n = 0;
  EVP_EncryptInit_ex(ctx, EVP_des_ede_ecb(), nullptr, key16.data(), nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EVP_EncryptUpdate(ctx, out.data(), &n, block.data(), static_cast<int>(block.size()));
  EVP_CIPHER_CTX_free(ctx);
  out.resize(8);
  return out;
}

std::vector<Bytes> expectedSequence() {
  std::vector<Bytes> c = {
      bytes("00 A4 00 00 02 3F 00"),
      bytes("00 84 00 00 08"),
      concat(bytes("00 82 00 01 08"), tdesEncryptBlock(ascii("TZHNWQXVRKBMJLC5"), kChallenge)),
      bytes("00 E4 00 00 08 FF FF FF FF FF FF FF FF"),
      bytes("80 E0 00 00 0F 08 5A 00 00 00 FF FF FF FF FF FF FF FF 4D 46"),
      bytes("80 E0 02 00 09 25 00 00 20 18 0F 0F 0F 0F"),
      concat(bytes("80 D4 00 00 18 00 01 00 01 0F 01 01 FF"), ascii("QJMXRZVTKWNBHPL8")),
      concat(bytes("80 D4 00 00 18 01 01 00 01 08 5A 0F FF"), ascii("TZHNWQXVRKBMJLC5")),
      concat(bytes("80 D4 00 00 18 02 02 00 01 0F 01 0F FF"), ascii("WBZKQHTRVMXNPJF4")),
      concat(bytes("80 D4 00 00 18 04 04 00 01 0F 01 0F FF"), ascii("PRXVNJTQWZMBKLD7")),
      concat(bytes("80 D4 00 00 18 05 05 00 01 0F 01 0F FF"), ascii("MTFWZQRNYBKVXCJH")),
      concat(bytes("80 D4 00 00 18 06 06 00 01 0F 01 0F FF"), ascii("HVQTRMZWBXPLJDSE")),
      concat(bytes("80 D4 00 00 10 10 03 00 00 08 5A 01 AA"), kSuperPin),
      concat(bytes("80 D4 00 00 10 0F 03 00 00 0F 01 0F FF"), ascii("80642719")),
      concat(bytes("80 D4 00 00 0E 11 03 00 00 08 14 0F FF"), kUserPin),
  };
  for (std::uint8_t i = 0; i < 4; ++i) {
    c.push_back(concat(bytes("80 E0 02 00 09 30"), concat({i}, bytes("08 20 18 0F 0F 0F 0F"))));
    c.push_back(concat(bytes("80 E0 02 00 09 31"),
                       concat({static_cast<std::uint8_t>(0x20 + i)}, bytes("08 20 18 1F 1F 1F 15"))));
  }
  c.push_back(bytes("80 E0 02 00 09 21 F5 1F 00 02 AA AA 0F 0F"));
  c.push_back(bytes("80 E0 02 00 09 21 F6 1F 00 02 CC CC 0F 0F"));
  c.push_back(bytes("80 E0 02 00 09 21 F4 1F 00 08 0F 1F 5A 0F"));
  c.push_back(bytes("00 A4 02 00 02 F4 1F"));
  c.push_back(bytes("00 D6 00 00 02 00 00"));
  return c;
}

class FormatDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::reset();
    testlog::clear();
    scripted::failCommand(2, scripted::Answer{0x9000, kChallenge, true});
  }
  std::int32_t format() {
    return NORV_DAL_FormatDevice(kSuperPin.data(), static_cast<std::int32_t>(kSuperPin.size()),
                                 kUserPin.data(), static_cast<std::int32_t>(kUserPin.size()));
  }
};

TEST_F(FormatDeviceTest, WritesTheWholeLayoutInOrder) {
  EXPECT_EQ(format(), 0);
  const std::vector<Bytes> expected = expectedSequence();
  ASSERT_EQ(expected.size(), 28u);
  ASSERT_EQ(scripted::commands().size(), 28u);
  for (std::size_t k = 0; k < expected.size(); ++k)
    EXPECT_TRUE(scripted::commands()[k] == expected[k]) << "command " << k + 1;
  EXPECT_TRUE(testlog::texts().empty());
}

TEST_F(FormatDeviceTest, UncheckedStepsNeitherStopNorFail) {
  // A blank card refuses the MF selection and the authentication; the
  // direct commands are never followed by GET RESPONSE.
  scripted::failCommand(1, scripted::Answer{0x6110, {}, true});
  scripted::failCommand(3, scripted::Answer{0x6A82, {}, true});
  scripted::failCommand(4, scripted::Answer{0, {}, false});
  scripted::failCommand(24, scripted::Answer{0x6A89, {}, true});
  EXPECT_EQ(format(), 0);
  EXPECT_EQ(scripted::commands().size(), 28u);
  EXPECT_TRUE(testlog::texts().empty());
}

TEST_F(FormatDeviceTest, CounterIsNotWrittenIntoAnotherFile) {
  scripted::failCommand(27, scripted::Answer{0x6A82, {}, true});
  EXPECT_EQ(format(), 0);
  EXPECT_EQ(scripted::commands().size(), 27u);
}

TEST_F(FormatDeviceTest, CheckedStepsStopWithTheirStatusAndLogLine) {
  const std::vector<std::pair<std::size_t, std::string>> steps = {
      {5, "******>Create MF File Error!"},      {6, "******>Create Key File Error!"},
      {7, "******>Write Master Key  Error!"},   {8, "******>Write Exter Key  Error!"},
      {9, "******>Write Inner Key  Error!"},    {10, "******>Write APPLIKEY  Error!"},
      {11, "******>Write RELOADKEY  Error!"},   {12, "******>Write UNLOCKKEY  Error!"},
      {13, "******>Write superPin  Error!"},    {14, "******>Write LOGOUTPIN  Error!"},
      {15, "******>Write usrPin  Error!"}};
  for (const auto& [k, text] : steps) {
    SetUp();
    scripted::failCommand(k, scripted::Answer{0x6985, {}, true});
    EXPECT_EQ(format(), 0x6985) << "step " << k;
    EXPECT_EQ(scripted::commands().size(), k);
    EXPECT_EQ(testlog::texts(), std::vector<std::string>{text});

    SetUp();
    scripted::failCommand(k, scripted::Answer{0, {}, false});
    EXPECT_EQ(format(), NORV_DAL_ERR_OTHER) << "step " << k;
    EXPECT_EQ(scripted::commands().size(), k);
  }
}

TEST_F(FormatDeviceTest, RefusesPinsTheKeyRecordCannotHold) {
  const Bytes pin(129, '3');
  EXPECT_EQ(NORV_DAL_FormatDevice(pin.data(), 129, kUserPin.data(), 6), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_FormatDevice(kSuperPin.data(), 8, pin.data(), -1), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_FormatDevice(kSuperPin.data(), 8, nullptr, 6), NORV_DAL_ERR_PARAM);
  EXPECT_TRUE(scripted::commands().empty());

  EXPECT_EQ(NORV_DAL_FormatDevice(pin.data(), 128, kUserPin.data(), 6), 0);
  ASSERT_EQ(scripted::commands().size(), 28u);
  EXPECT_EQ(scripted::commands()[12].size(), 13u + 128u);
  EXPECT_EQ(scripted::commands()[12][4], 0x88);

  scripted::reset();
  scripted::setOpenSlots({});
  EXPECT_EQ(format(), NORV_DAL_ERR_OPEN_DEVICE);
  EXPECT_TRUE(scripted::commands().empty());
}

}  // namespace

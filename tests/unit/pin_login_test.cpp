#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "norv_dal_tkp30.h"
#include "support/hex_bytes.h"
#include "support/log_reader.h"
#include "support/scripted_device.h"

using testhex::bytes;
using testhex::concat;

namespace {

const std::vector<std::uint8_t> kPin = testhex::ascii("135790");

class PinLoginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::reset();
    testlog::clear();
  }
  std::int32_t loginAnswered(std::int32_t type, std::uint16_t sw) {
    scripted::reset();
    scripted::pushSw(sw);
    return NORV_DAL_Login(type, kPin.data(), static_cast<std::int32_t>(kPin.size()));
  }
};

TEST_F(PinLoginTest, LoginSendsVerifyAndMapsTheCardsAnswer) {
  EXPECT_EQ(loginAnswered(2, 0x9000), 0);
  ASSERT_EQ(scripted::commands().size(), 1u);
  EXPECT_TRUE(scripted::commands()[0] == concat(bytes("00 20 11 00 06"), kPin));
  EXPECT_TRUE(testlog::texts().empty());

  EXPECT_EQ(loginAnswered(2, 0x63C2), 2);
  EXPECT_EQ(loginAnswered(2, 0x63CE), 14);
  EXPECT_EQ(loginAnswered(2, 0x63C0), NORV_DAL_ERR_USER_PIN_LOCKED);
  EXPECT_EQ(loginAnswered(2, 0x6983), NORV_DAL_ERR_USER_PIN_LOCKED);
  EXPECT_EQ(loginAnswered(2, 0x63CF), NORV_DAL_ERR_LOGIN);
  EXPECT_EQ(loginAnswered(1, 0x63C0), NORV_DAL_ERR_SUPER_PIN_LOCKED);
  EXPECT_EQ(loginAnswered(1, 0x6983), NORV_DAL_ERR_SUPER_PIN_LOCKED);
  EXPECT_TRUE(scripted::commands()[0] == concat(bytes("00 20 10 00 06"), kPin));

  testlog::clear();
  EXPECT_EQ(loginAnswered(7, 0x6A88), NORV_DAL_ERR_LOGIN);
  EXPECT_TRUE(scripted::commands()[0] == concat(bytes("00 20 FF 00 06"), kPin));
  EXPECT_EQ(testlog::texts(), std::vector<std::string>{"******>NORV_DAL_Login"});

  scripted::reset();
  scripted::pushNotCarried();
  EXPECT_EQ(NORV_DAL_Login(2, kPin.data(), 6), NORV_DAL_ERR_LOGIN);
}

TEST_F(PinLoginTest, LoginRefusesUnsafePinArgumentsBeforeSending) {
  const std::vector<std::uint8_t> longPin(56, '1');
  EXPECT_EQ(NORV_DAL_Login(2, longPin.data(), 56), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_Login(2, kPin.data(), -1), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_Login(2, nullptr, 4), NORV_DAL_ERR_PARAM);
  EXPECT_TRUE(scripted::commands().empty());
  EXPECT_EQ(testlog::texts().size(), 3u);

  EXPECT_EQ(NORV_DAL_Login(2, longPin.data(), 55), 0);
  ASSERT_EQ(scripted::commands().size(), 1u);
  EXPECT_EQ(scripted::commands()[0].size(), 60u);
  EXPECT_EQ(scripted::commands()[0][4], 55);
}

TEST_F(PinLoginTest, LoginWithoutDeviceSendsNothing) {
  scripted::setOpenSlots({});
  EXPECT_EQ(NORV_DAL_Login(2, kPin.data(), 6), NORV_DAL_ERR_OPEN_DEVICE);
  EXPECT_EQ(NORV_DAL_Logout(1), NORV_DAL_ERR_OPEN_DEVICE);
  std::int32_t flag = 7;
  EXPECT_EQ(NORV_DAL_IsLogin(1, &flag), NORV_DAL_ERR_OPEN_DEVICE);
  EXPECT_EQ(flag, 7);
  EXPECT_TRUE(scripted::commands().empty());
  EXPECT_EQ(testlog::texts(), std::vector<std::string>(3, "******>NORV_DAL_Initialize"));
}

TEST_F(PinLoginTest, LogoutVerifiesTheLogoutPinForEitherType) {
  const auto logoutCommand = concat(bytes("00 20 0F 00 08"), testhex::ascii("80642719"));
  EXPECT_EQ(NORV_DAL_Logout(1), 0);
  EXPECT_EQ(NORV_DAL_Logout(2), 0);
  ASSERT_EQ(scripted::commands().size(), 2u);
  EXPECT_TRUE(scripted::commands()[0] == logoutCommand);
  EXPECT_TRUE(scripted::commands()[1] == logoutCommand);

  EXPECT_EQ(NORV_DAL_Logout(0), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_Logout(3), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(scripted::commands().size(), 2u);

  scripted::pushSw(0x6983);
  EXPECT_EQ(NORV_DAL_Logout(2), NORV_DAL_ERR_LOGOUT);
  EXPECT_EQ(testlog::texts(), (std::vector<std::string>{"******>login type", "******>login type",
                                                        "******>chk usr pin"}));
}

TEST_F(PinLoginTest, IsLoginReadsTheProbeFileOfTheType) {
  std::int32_t flag = 7;
  scripted::pushSw(0x9000);
  scripted::pushSw(0x9000, {0x00, 0x00});
  EXPECT_EQ(NORV_DAL_IsLogin(1, &flag), 0);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(scripted::commands(),
            (std::vector<std::vector<std::uint8_t>>{bytes("00 A4 02 00 02 F6 1F"),
                                                    bytes("00 B0 00 00 02")}));

  scripted::reset();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x6982);
  EXPECT_EQ(NORV_DAL_IsLogin(2, &flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(scripted::commands()[0], bytes("00 A4 02 00 02 F5 1F"));

  scripted::reset();
  flag = 7;
  scripted::pushSw(0x6A82);
  EXPECT_EQ(NORV_DAL_IsLogin(2, &flag), NORV_DAL_ERR_OTHER);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(scripted::commands().size(), 1u);

  flag = 7;
  EXPECT_EQ(NORV_DAL_IsLogin(3, &flag), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(flag, 7);
  EXPECT_EQ(NORV_DAL_IsLogin(1, nullptr), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(scripted::commands().size(), 1u);
  EXPECT_EQ(testlog::texts(),
            (std::vector<std::string>{"******>NORV_DAL_IsLogin Error:-1:0xFFFFFFFF",
                                      "******>Wrt Select Error:27266:0x6A82", "******>login type",
                                      "******>login flag"}));
}

}  // namespace

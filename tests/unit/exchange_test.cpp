// The exchange: status words, the single GET RESPONSE, failed transmissions.
#include <gtest/gtest.h>

#include "device/checked_send.h"
#include "device/exchange.h"
#include "norv_dal_tkp30.h"
#include "support/scripted_device.h"

namespace {

using scripted::Bytes;

const Bytes kCommand = {0x00, 0xB0, 0x00, 0x00, 0x10};
const Bytes kGetResponse10 = {0x00, 0xC0, 0x00, 0x00, 0x10};

class Exchange : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::reset();
    ASSERT_EQ(NORV_DAL_Initialize(), 0);
  }
  int32_t exchange() { return dal::CosExchange(kCommand, response_, length_); }
  dal::ResponseBuffer response_;
  int32_t length_ = 0;
};

TEST_F(Exchange, Answer61xxIsFollowedByOneGetResponse) {
  const Bytes data(16, 0xAB);
  scripted::pushSw(0x6110);
  scripted::pushSw(0x9000, data);
  EXPECT_EQ(exchange(), 0x9000);
  EXPECT_EQ(length_, 18);
  ASSERT_EQ(scripted::commands().size(), 2u);
  EXPECT_EQ(scripted::commands()[1], kGetResponse10);
  EXPECT_EQ(Bytes(response_.data(), response_.data() + 16), data);
}

TEST_F(Exchange, Answer6100AsksForLeZero) {
  scripted::pushSw(0x6100);
  scripted::pushSw(0x9000, Bytes(256, 1));
  EXPECT_EQ(exchange(), 0x9000);
  EXPECT_EQ(scripted::commands()[1], (Bytes{0x00, 0xC0, 0x00, 0x00, 0x00}));
  EXPECT_EQ(length_, 2);
}

TEST_F(Exchange, OtherStatusWordsPassUnchanged) {
  for (int sw : {0x9000, 0x63C2, 0x6983, 0x6A82, 0x6282}) {
    scripted::reset();
    scripted::pushSw(static_cast<uint16_t>(sw));
    length_ = 7;
    EXPECT_EQ(exchange(), sw);
    EXPECT_EQ(scripted::commands().size(), 1u);
    EXPECT_EQ(length_, 7);
  }
}

TEST_F(Exchange, FailedGetResponseKeepsTheLengthAndIsNotFollowed) {
  scripted::pushSw(0x6110);
  scripted::pushSw(0x6A86);
  length_ = 5;
  EXPECT_EQ(exchange(), 0x6A86);
  EXPECT_EQ(length_, 5);

  scripted::reset();
  scripted::pushSw(0x6110);
  scripted::pushSw(0x6105);
  EXPECT_EQ(exchange(), 0x6105);
  EXPECT_EQ(scripted::commands().size(), 2u);
  EXPECT_EQ(length_, 5);
}

TEST_F(Exchange, NotCarriedIsZero) {
  scripted::pushNotCarried();
  EXPECT_EQ(exchange(), 0);

  scripted::reset();
  scripted::pushSw(0x6108);
  scripted::pushNotCarried();
  testing::internal::CaptureStdout();
  EXPECT_EQ(exchange(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Send GetResponse Data Error\n");
}

TEST_F(Exchange, DeviceLibraryIsToldTheCommandLengthAndBufferCapacity) {
  scripted::pushSw(0x9000);
  exchange();
  ASSERT_EQ(scripted::apduCapacities().size(), 1u);
  EXPECT_EQ(scripted::apduCapacities()[0], 258);
  EXPECT_EQ(scripted::commands()[0], kCommand);
}

TEST_F(Exchange, DirectCommandsAreNeverFollowedByGetResponse) {
  scripted::pushSw(0x6108);
  EXPECT_EQ(dal::DalApduDirect(kCommand, response_), 0x6108);
  EXPECT_EQ(scripted::commands().size(), 1u);
}

// Builders send through one checked road: a command whose data overflowed
// never reaches the device, on either route, and reads as not carried.
TEST_F(Exchange, CheckedSendRefusesAnOverflowedCommandAndKeepsTheRoute) {
  for (dal::Route route : {dal::Route::kExchange, dal::Route::kDirect}) {
    scripted::reset();
    dal::Apdu tooLong(0x00, 0xD6, 0x00, 0x00);
    tooLong.append(Bytes(256, 0x5A));
    EXPECT_EQ(dal::DalSend(tooLong, route), 0);
    EXPECT_TRUE(scripted::commands().empty());
  }
  dal::Apdu command(0x00, 0xB0, 0x00, 0x00);
  command.le(0x10);
  scripted::pushSw(0x6110);
  EXPECT_EQ(dal::DalSend(command, response_, dal::Route::kDirect), 0x6110);
  scripted::pushSw(0x6110);
  EXPECT_EQ(dal::DalSend(command, response_), 0x9000);
  EXPECT_EQ(scripted::commands(), (std::vector<Bytes>{kCommand, kCommand, kGetResponse10}));
}

TEST_F(Exchange, DeliveredCountsTheDataTheDeviceWrote) {
  scripted::pushSw(0x9000, Bytes(5, 9));
  exchange();
  EXPECT_EQ(response_.delivered(), 5u);
}

}  // namespace

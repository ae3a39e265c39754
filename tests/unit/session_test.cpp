// Opening and closing the token, and the session no-ops.
#include <gtest/gtest.h>

#include "device/exchange.h"
#include "device/session.h"
#include "norv_dal_tkp30.h"
#include "support/scripted_device.h"

namespace {

TEST(Session, OpenProbesSlotsFromOneAndKeepsTheFirstThatOpens) {
  scripted::reset();
  scripted::setOpenSlots({3, 5});
  EXPECT_EQ(NORV_DAL_Initialize(), 0);
  EXPECT_EQ(scripted::openCalls(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(dal::DalDeviceIndex(), 3);

  // A second open probes from slot 1 again.
  EXPECT_EQ(NORV_DAL_Initialize(), 0);
  EXPECT_EQ(scripted::openCalls(), (std::vector<int>{1, 2, 3, 1, 2, 3}));
}

TEST(Session, NoDeviceTriesAllSixSlotsAndKeepsTheIndex) {
  scripted::reset();
  scripted::setOpenSlots({2});
  ASSERT_EQ(NORV_DAL_Initialize(), 0);
  scripted::setOpenSlots({});
  EXPECT_EQ(NORV_DAL_Initialize(), NORV_DAL_ERR_OPEN_DEVICE);
  EXPECT_EQ(scripted::openCalls(), (std::vector<int>{1, 2, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(dal::DalDeviceIndex(), 2);
}

TEST(Session, CloseSetsTheIndexToMinusOneOnlyWhenTheDeviceCloses) {
  scripted::reset();
  scripted::setOpenSlots({4});
  ASSERT_EQ(NORV_DAL_Initialize(), 0);
  scripted::setCloseResult(false);
  EXPECT_EQ(NORV_DAL_Finalize(), -1);
  EXPECT_EQ(dal::DalDeviceIndex(), 4);
  scripted::setCloseResult(true);
  EXPECT_EQ(NORV_DAL_Finalize(), 0);
  EXPECT_EQ(dal::DalDeviceIndex(), -1);
  EXPECT_EQ(NORV_DAL_Finalize(), 0);
  EXPECT_EQ(scripted::closeCalls(), (std::vector<int>{4, 4, -1}));
}

TEST(Session, NoOpsReturnZeroAndTouchNothing) {
  scripted::reset();
  ASSERT_EQ(NORV_DAL_Initialize(), 0);
  const int32_t before = dal::DalDeviceIndex();
  for (int32_t arg : {0, 1, -1, 0x7FFFFFFF}) {
    EXPECT_EQ(NORV_DAL_InitializeEx(arg), 0);
    EXPECT_EQ(NORV_DAL_FinalizeEx(arg), 0);
  }
  EXPECT_EQ(dal::DalDeviceIndex(), before);
  EXPECT_EQ(scripted::openCalls().size(), 1u);
  EXPECT_TRUE(scripted::closeCalls().empty());
  EXPECT_EQ(&NORV_DAL_InitializeEx, &NORV_DAL_FinalizeEx);
}

TEST(Session, OperationsSendToTheOpenedSlot) {
  scripted::reset();
  scripted::setOpenSlots({6});
  ASSERT_EQ(NORV_DAL_Initialize(), 0);
  dal::ResponseBuffer response;
  dal::CosExchange(std::vector<uint8_t>{0x00, 0x84, 0x00, 0x00, 0x08}, response);
  EXPECT_EQ(scripted::apduSlots(), std::vector<int>{6});
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "norv_dal_tkp30.h"
#include "support/hex_bytes.h"
#include "support/log_reader.h"
#include "support/scripted_device.h"

using testhex::bytes;
using Bytes = std::vector<std::uint8_t>;

namespace {

class GlobalInfoFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::reset();
    testlog::clear();
  }
};

TEST_F(GlobalInfoFileTest, CreateSendsTheSizeInSixteenBits) {
  EXPECT_EQ(NORV_DAL_CreateGlobalInfoFile(0x0200), 0);
  EXPECT_EQ(NORV_DAL_CreateGlobalInfoFile(0x10100), 0);
  EXPECT_EQ(scripted::commands(),
            (std::vector<Bytes>{bytes("80 E0 02 00 09 21 F3 1F 02 00 0F 0F 0F 0F"),
                                bytes("80 E0 02 00 09 21 F3 1F 01 00 0F 0F 0F 0F")}));
  scripted::pushSw(0x6A89);
  EXPECT_EQ(NORV_DAL_CreateGlobalInfoFile(16), NORV_DAL_ERR_CREATE_FILE);
  EXPECT_EQ(testlog::texts(), std::vector<std::string>{"******>create global info file Error"});
}

TEST_F(GlobalInfoFileTest, ReadSplitsIntoChunksOf128) {
  Bytes content(200);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i);
  scripted::pushSw(0x9000);
  scripted::pushSw(0x9000, Bytes(content.begin(), content.begin() + 128));
  scripted::pushSw(0x9000, Bytes(content.begin() + 128, content.end()));
  Bytes out(200);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(0, 200, out.data()), 0);
  EXPECT_EQ(out, content);
  EXPECT_EQ(scripted::commands(),
            (std::vector<Bytes>{bytes("00 A4 02 00 02 F3 1F"), bytes("00 B0 00 00 80"),
                                bytes("00 B0 00 80 48")}));

  scripted::reset();
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(0, 0, nullptr), 0);
  EXPECT_EQ(scripted::commands(), std::vector<Bytes>{bytes("00 A4 02 00 02 F3 1F")});

  scripted::reset();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x6B00);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(300, 10, out.data()), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(scripted::commands()[1], bytes("00 B0 01 2C 0A"));
  EXPECT_EQ(testlog::texts(), std::vector<std::string>{"******>NORV_DAL_ReadGlobalInfoFile"});
}

TEST_F(GlobalInfoFileTest, WriteReportsARefusal) {
  const Bytes data = bytes("01 02 03");
  EXPECT_EQ(NORV_DAL_WriteGlobalInfoFile(5, 3, data.data()), 0);
  EXPECT_EQ(scripted::commands(), (std::vector<Bytes>{bytes("00 A4 02 00 02 F3 1F"),
                                                      bytes("00 D6 00 05 03 01 02 03")}));
  scripted::reset();
  scripted::failCommand(2, scripted::Answer{0x6982, {}, true});
  EXPECT_EQ(NORV_DAL_WriteGlobalInfoFile(5, 3, data.data()), NORV_DAL_ERR_WRITE_FILE);
  EXPECT_EQ(testlog::texts(), std::vector<std::string>{"******>NORV_DAL_WriteGlobalInfoFile"});
}

TEST_F(GlobalInfoFileTest, FailedSelectionTouchesNoOtherFile) {
  Bytes out(4, 0xEE);
  scripted::pushSw(0x6A82);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(0, 4, out.data()), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(scripted::commands().size(), 1u);
  EXPECT_EQ(out, Bytes(4, 0xEE));
  scripted::reset();
  scripted::pushSw(0x6A82);
  EXPECT_EQ(NORV_DAL_WriteGlobalInfoFile(0, 4, out.data()), NORV_DAL_ERR_WRITE_FILE);
  EXPECT_EQ(scripted::commands().size(), 1u);
}

TEST_F(GlobalInfoFileTest, RefusesRangesThatWouldWrapOrMissTheBuffer) {
  Bytes buffer(16);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(-1, 4, buffer.data()), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(0, -4, buffer.data()), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(0xFFF8, 9, buffer.data()), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(0, 4, nullptr), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_WriteGlobalInfoFile(0xFFFF, 2, buffer.data()), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_WriteGlobalInfoFile(0, 4, nullptr), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_WriteGlobalInfoFile(0x7FFFFFFF, 0x7FFFFFFF, buffer.data()),
            NORV_DAL_ERR_PARAM);
  EXPECT_TRUE(scripted::commands().empty());
  EXPECT_EQ(testlog::texts(), std::vector<std::string>(7, "******>data range"));
  scripted::reset();
  EXPECT_EQ(NORV_DAL_WriteGlobalInfoFile(0xFFF8, 8, buffer.data()), 0);
  EXPECT_EQ(scripted::commands()[1][2], 0xFF);
  EXPECT_EQ(scripted::commands()[1][3], 0xF8);
}

}  // namespace

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

const Bytes kPresent = bytes("01 00");
const Bytes kDeleted = bytes("00 00");

class UserDataFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::reset();
    testlog::clear();
  }
};

TEST_F(UserDataFilesTest, CreateMarksTheNewFilePresent) {
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(2, 5, 100, 1, 2), 0);
  EXPECT_EQ(scripted::commands(),
            (std::vector<Bytes>{bytes("80 E0 02 00 09 21 05 04 00 66 AA CC 0F 0F"),
                                bytes("00 A4 02 00 02 05 04"), bytes("00 D6 00 00 02 01 00")}));
  scripted::reset();
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(3, 0x19F3, 0, 0, 0), 0);
  EXPECT_EQ(scripted::commands()[0], bytes("80 E0 02 00 09 21 F3 1F 00 02 F0 F0 0F 0F"));
  scripted::reset();
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(1, 0x200, 0xFFFD, 0, 0), 0);
  EXPECT_EQ(scripted::commands()[0], bytes("80 E0 02 00 09 21 00 04 FF FF F0 F0 0F 0F"));
}

TEST_F(UserDataFilesTest, CreateLogsEachFailure) {
  scripted::pushSw(0x6A89);
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(1, 1, 10, 1, 1), NORV_DAL_ERR_CREATE_FILE);
  EXPECT_EQ(scripted::commands().size(), 1u);
  EXPECT_EQ(testlog::texts(),
            (std::vector<std::string>{"******>NORV_DAL_CreateUsrDataFile erro", "size:12:0xC",
                                      "rv27273:0x6A89"}));
  testlog::clear();
  scripted::failCommand(4, scripted::Answer{0x6A82, {}, true});
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(1, 1, 10, 1, 1), NORV_DAL_ERR_WRITE_FILE);
  EXPECT_EQ(scripted::commands().size(), 4u);
  scripted::failCommand(7, scripted::Answer{0x6982, {}, true});
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(1, 1, 10, 1, 1), NORV_DAL_ERR_WRITE_FILE);
  EXPECT_EQ(testlog::texts(), std::vector<std::string>(2, "******>NORV_DAL_CreateUsrDataFile"));
}

TEST_F(UserDataFilesTest, BadArgumentsSendNothing) {
  Bytes buffer(8);
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(1, 0, 10, 3, 1), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(1, 0, 10, 1, -1), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(0, 0, 10, 1, 1), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(4, 0, 10, 1, 1), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(1, 0, 0xFFFE, 1, 1), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(1, 0, -1, 1, 1), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(4, 0, 0, 8, buffer.data()), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(1, 0, -1, 8, buffer.data()), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(1, 0, 0xFFF8, 7, buffer.data()), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(1, 0, 0, 8, nullptr), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_WriteUsrDataFile(0, 0, 0, 8, buffer.data()), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_WriteUsrDataFile(1, 0, 0, -8, buffer.data()), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_WriteUsrDataFile(1, 0, 0x7FFFFFFF, 1, buffer.data()), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_DeleteUsrDataFile(-1, 0), NORV_DAL_ERR_PARAM);
  EXPECT_TRUE(scripted::commands().empty());
  const auto texts = testlog::texts();
  ASSERT_EQ(texts.size(), 14u);
  EXPECT_EQ(texts[0], "******>read");
  EXPECT_EQ(texts[1], "******>wrt");
  EXPECT_EQ(texts[2], "******>file type");
  EXPECT_EQ(texts[13], "******>file type");
  EXPECT_EQ(NORV_DAL_GetFreeSpace(0), NORV_DAL_ERR_NOT_SUPPORTED);
  scripted::reset();
  scripted::setOpenSlots({});
  EXPECT_EQ(NORV_DAL_GetFreeSpace(123), NORV_DAL_ERR_NOT_SUPPORTED);
  EXPECT_TRUE(scripted::openCalls().empty());
}

TEST_F(UserDataFilesTest, ReadChecksTheHeaderThenReadsBehindIt) {
  scripted::pushSw(0x9000);
  scripted::pushSw(0x9000, kPresent);
  scripted::pushSw(0x9000, bytes("0A 0B 0C 0D 0E 0F 10 11 12 13"));
  Bytes out(10);
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(2, 5, 0, 10, out.data()), 0);
  EXPECT_EQ(out, bytes("0A 0B 0C 0D 0E 0F 10 11 12 13"));
  EXPECT_EQ(scripted::commands(),
            (std::vector<Bytes>{bytes("00 A4 02 00 02 05 04"), bytes("00 B0 00 00 02"),
                                bytes("00 B0 00 02 0A")}));

  scripted::reset();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x9000, kDeleted);
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(2, 5, 0, 10, out.data()), NORV_DAL_ERR_FILE_DELETED);
  EXPECT_EQ(scripted::commands().size(), 2u);

  scripted::reset();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x6982);
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(2, 5, 0, 10, out.data()), NORV_DAL_ERR_READ_FILE);

  scripted::reset();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x9000, kPresent);
  scripted::pushSw(0x6B00);
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(2, 5, 0x100, 10, out.data()), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(scripted::commands()[2], bytes("00 B0 01 02 0A"));

  scripted::reset();
  scripted::pushSw(0x6A82);
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(2, 5, 0, 10, out.data()), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(scripted::commands().size(), 1u);
  EXPECT_EQ(testlog::texts(),
            (std::vector<std::string>{"******>file deled",
                                      "******>NORV_DAL_ReadUsrDataFile SelectFile1",
                                      "******>NORV_DAL_ReadUsrDataFile2:",
                                      "******>NORV_DAL_ReadUsrDataFile SelectFile1"}));
}

TEST_F(UserDataFilesTest, WriteChecksTheHeaderThenWritesBehindIt) {
  const Bytes data(10, 0x5A);
  scripted::pushSw(0x9000);
  scripted::pushSw(0x9000, kPresent);
  EXPECT_EQ(NORV_DAL_WriteUsrDataFile(2, 5, 0, 10, data.data()), 0);
  ASSERT_EQ(scripted::commands().size(), 3u);
  EXPECT_EQ(scripted::commands()[2], testhex::concat(bytes("00 D6 00 02 0A"), data));

  scripted::reset();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x9000, kDeleted);
  EXPECT_EQ(NORV_DAL_WriteUsrDataFile(2, 5, 0, 10, data.data()), NORV_DAL_ERR_FILE_DELETED);
  EXPECT_EQ(scripted::commands().size(), 2u);

  scripted::reset();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x6982);
  EXPECT_EQ(NORV_DAL_WriteUsrDataFile(2, 5, 0, 10, data.data()), NORV_DAL_ERR_READ_FILE);

  scripted::reset();
  scripted::pushSw(0x6A82);
  EXPECT_EQ(NORV_DAL_WriteUsrDataFile(2, 5, 0, 10, data.data()), NORV_DAL_ERR_WRITE_FILE);
  EXPECT_EQ(scripted::commands().size(), 1u);

  scripted::reset();
  testlog::clear();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x9000, kPresent);
  scripted::pushSw(0x6982);
  EXPECT_EQ(NORV_DAL_WriteUsrDataFile(2, 5, 0, 10, data.data()), NORV_DAL_ERR_WRITE_FILE);
  EXPECT_EQ(testlog::texts(),
            (std::vector<std::string>{"******>NORV_DAL_WriteUsrDataFile2",
                                      "Write fileId1029:0x405", "writeLen:10:0xA",
                                      "rv27010:0x6982"}));
}

TEST_F(UserDataFilesTest, DeleteMarksTheHeaderOnlyOfASelectedFile) {
  EXPECT_EQ(NORV_DAL_DeleteUsrDataFile(1, 0x200), 0);
  EXPECT_EQ(scripted::commands(), (std::vector<Bytes>{bytes("00 A4 02 00 02 00 04"),
                                                      bytes("00 D6 00 00 02 00 00")}));
  scripted::reset();
  scripted::pushSw(0x6A82);
  EXPECT_EQ(NORV_DAL_DeleteUsrDataFile(1, 7), NORV_DAL_ERR_DELETE_FILE);
  EXPECT_EQ(scripted::commands().size(), 1u);
  scripted::reset();
  scripted::failCommand(2, scripted::Answer{0x6982, {}, true});
  EXPECT_EQ(NORV_DAL_DeleteUsrDataFile(1, 7), NORV_DAL_ERR_DELETE_FILE);
  EXPECT_EQ(testlog::texts(), std::vector<std::string>(2, "******>NORV_DAL_DeleteUsrDataFile"));
}

}  // namespace

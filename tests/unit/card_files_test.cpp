// The file command builders: exact bytes, chunking, and failures.
#include <gtest/gtest.h>

#include <vector>

#include "card/file_commands.h"
#include "card/write_key.h"
#include "norv_dal_tkp30.h"
#include "support/scripted_device.h"

namespace {

using scripted::Bytes;

class CardFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::reset();
    ASSERT_EQ(NORV_DAL_Initialize(), 0);
  }
};

TEST_F(CardFiles, ReadOfNothingSendsNothing) {
  uint8_t buf[4] = {};
  EXPECT_EQ(dal::CosReadBinary(buf, 0, 0), 0);
  EXPECT_EQ(dal::CosReadBinary(buf, 0, -5), 0);
  EXPECT_EQ(dal::CosUpdateBinary(buf, 0, 0), 0);
  EXPECT_EQ(dal::CosUpdateBinary(buf, 0, -1), 0);
  EXPECT_TRUE(scripted::commands().empty());
}

TEST_F(CardFiles, ReadSplitsIntoChunksOf128) {
  scripted::setDefault({0x9000, Bytes(128, 0x11)});
  std::vector<uint8_t> buf(300);
  EXPECT_EQ(dal::CosReadBinary(buf.data(), 0x01F0, 300), 0);
  EXPECT_EQ(scripted::commands(),
            (std::vector<Bytes>{{0x00, 0xB0, 0x01, 0xF0, 0x80},
                                {0x00, 0xB0, 0x02, 0x70, 0x80},
                                {0x00, 0xB0, 0x02, 0xF0, 0x2C}}));

  scripted::reset();
  scripted::setDefault({0x9000, Bytes(128, 0x22)});
  EXPECT_EQ(dal::CosReadBinary(buf.data(), 0, 128), 0);
  EXPECT_EQ(scripted::commands(), (std::vector<Bytes>{{0x00, 0xB0, 0x00, 0x00, 0x80}}));

  scripted::reset();
  scripted::setDefault({0x9000, Bytes(128, 0x33)});
  EXPECT_EQ(dal::CosReadBinary(buf.data(), 0x10, 129), 0);
  EXPECT_EQ(scripted::commands(), (std::vector<Bytes>{{0x00, 0xB0, 0x00, 0x10, 0x80},
                                                      {0x00, 0xB0, 0x00, 0x90, 0x01}}));
}

TEST_F(CardFiles, FailedSecondChunkKeepsTheFirst) {
  scripted::pushSw(0x9000, Bytes(128, 0x44));
  scripted::pushSw(0x6B00);
  std::vector<uint8_t> buf(200, 0);
  EXPECT_EQ(dal::CosReadBinary(buf.data(), 0, 200), -1);
  EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 128), Bytes(128, 0x44));
  EXPECT_EQ(buf[128], 0);
}

TEST_F(CardFiles, ShortOrUncarriedReadIsAFailure) {
  std::vector<uint8_t> buf(16, 0xEE);
  scripted::pushSw(0x9000, Bytes(10, 1));
  EXPECT_EQ(dal::CosReadBinary(buf.data(), 0, 16), -1);
  EXPECT_EQ(buf[0], 0xEE);  // nothing copied from a short answer
  scripted::pushNotCarried();
  EXPECT_EQ(dal::CosReadBinary(buf.data(), 0, 16), -1);
}

TEST_F(CardFiles, UpdateChunksAndReportsTheFailingStatusWord) {
  std::vector<uint8_t> data(200);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(dal::CosUpdateBinary(data.data(), 2, 200), 0);
  ASSERT_EQ(scripted::commands().size(), 2u);
  Bytes first = {0x00, 0xD6, 0x00, 0x02, 0x80};
  first.insert(first.end(), data.begin(), data.begin() + 128);
  Bytes second = {0x00, 0xD6, 0x00, 0x82, 0x48};
  second.insert(second.end(), data.begin() + 128, data.end());
  EXPECT_EQ(scripted::commands()[0], first);
  EXPECT_EQ(scripted::commands()[1], second);

  scripted::reset();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x6982);
  EXPECT_EQ(dal::CosUpdateBinary(data.data(), 0, 200), 0x6982);

  scripted::reset();
  scripted::pushNotCarried();
  EXPECT_EQ(dal::CosUpdateBinary(data.data(), 0, 5), -1);
}

TEST_F(CardFiles, RangesPastSixteenBitsOfOffsetAreRefusedUnsent) {
  std::vector<uint8_t> buf(256);
  EXPECT_EQ(dal::CosReadBinary(buf.data(), 0xFFF0, 0x20), -1);
  EXPECT_EQ(dal::CosUpdateBinary(buf.data(), -1, 4), -1);
  EXPECT_EQ(dal::CosUpdateBinary(buf.data(), 0x7FFFFFFF, 200), -1);
  EXPECT_TRUE(scripted::commands().empty());
  scripted::setDefault({0x9000, Bytes(128, 0)});
  EXPECT_EQ(dal::CosReadBinary(buf.data(), 0xFF00, 0x100), 0);  // ends exactly at 0x10000
}

TEST_F(CardFiles, SelectForms) {
  EXPECT_EQ(dal::CosSelectFileId(0x1FF3), 0x9000);
  EXPECT_EQ(dal::CosSelectFile(dal::kFormMf, {}), 0x9000);
  const uint8_t name[] = {'A', 'B'};
  EXPECT_EQ(dal::CosSelectFile(dal::kFormDfByName, name), 0x9000);
  EXPECT_EQ(scripted::commands(),
            (std::vector<Bytes>{{0x00, 0xA4, 0x02, 0x00, 0x02, 0xF3, 0x1F},
                                {0x00, 0xA4, 0x00, 0x00, 0x02, 0x3F, 0x00},
                                {0x00, 0xA4, 0x04, 0x00, 0x02, 'A', 'B'}}));
  scripted::reset();
  EXPECT_EQ(dal::CosSelectFile(1, name), -1);
  EXPECT_EQ(dal::CosSelectFile(3, name), -1);
  EXPECT_TRUE(scripted::commands().empty());
}

TEST_F(CardFiles, CreateDeleteAndWriteKeyBytes) {
  dal::CosDfRecord mf;
  mf.header = {0x08, 0x5A, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  mf.name[0] = 'M';
  mf.name[1] = 'F';
  mf.nameLen = 2;
  dal::CosCreateDf(mf);
  dal::CosCreateEf(dal::CosMakeEfRecord(0x31, 0x0822, 0x2018, 0x1F, 0x1F, 0x1F, 0x15));
  const uint8_t all[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  dal::CosDeleteFile(0x00, all);
  dal::CosKeyRecord key;
  key.keyId = 0x10;
  key.keyType = 0x03;
  key.params = {0x00, 0x00, 0x08, 0x5A, 0x01};
  key.firstHalf = 0xA;
  key.secondHalf = 0xA;
  key.valueLen = 2;
  key.value[0] = '1';
  key.value[1] = '2';
  dal::CosWriteKey(key);
  EXPECT_EQ(scripted::commands(),
            (std::vector<Bytes>{
                {0x80, 0xE0, 0x00, 0x00, 0x0F, 0x08, 0x5A, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x4D, 0x46},
                {0x80, 0xE0, 0x02, 0x00, 0x09, 0x31, 0x22, 0x08, 0x20, 0x18, 0x1F, 0x1F, 0x1F,
                 0x15},
                {0x00, 0xE4, 0x00, 0x00, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                {0x80, 0xD4, 0x00, 0x00, 0x0A, 0x10, 0x03, 0x00, 0x00, 0x08, 0x5A, 0x01, 0xAA,
                 '1', '2'}}));
}

TEST_F(CardFiles, BuilderStatusPassesThrough) {
  scripted::pushSw(0x6A89);
  EXPECT_EQ(dal::CosCreateEf(dal::CosMakeEfRecord(0x21, 0x1FF3, 0x200, 0x0F, 0x0F, 0x0F, 0x0F)),
            0x6A89);
  scripted::pushNotCarried();
  EXPECT_EQ(dal::CosSelectFileId(0x0001), 0);
}

}  // namespace

// The records the module keeps on the token: the codecs and the two
// copies on an emulated token (fork_test.cpp: writers killed in the middle
// of a write).
#include <gtest/gtest.h>

#include <limits>

#include "common/module_range.h"
#include "records/directory.h"
#include "records_fixture.h"
#include "norv_dal_tkp30.h"
#include "records/object_codec.h"
#include "objects/object_templates.h"
#include "store/object_store.h"
#include "store/twin_file.h"

namespace p11test {
namespace {

using namespace p11;

Directory sampleDirectory() {
  Directory d;
  d.nextObject = 7;
  KeyEntry key;
  key.slot = 2;
  key.fingerprint = {1, 2, 3, 4, 5, 6, 7, 8};
  key.generated = true;
  key.publicHalf = {false, false, true, kUsageVerify, {0x01}, {'p', 'u', 'b'}};
  key.privateHalf = {true, true, false, kUsageSign | kUsageDecrypt, {0x01}, {'k'}};
  d.keys.push_back(key);
  d.files.push_back({0x184, 256, true, false, false, 6, 200});
  d.files.push_back({0x185, 0, false, true, true, 0, 0});
  d.files.push_back({0x186, 0, false, true, false, 0, 0});
  return d;
}

TEST(DirectoryCodec, RoundTripsAndRefusesDamage) {
  const Directory d = sampleDirectory();
  Bytes encoded = encodeDirectory(d);
  ASSERT_EQ(decodeDirectory(encoded), d);
  EXPECT_FALSE(decodeDirectory(ByteView(encoded).first(encoded.size() - 1)));
  encoded.push_back(0);
  EXPECT_FALSE(decodeDirectory(encoded));
}

TEST(CopyCodec, DigestCoversHeaderAndPayload) {
  const Bytes payload = {1, 2, 3, 4, 5};
  const Bytes copy = encodeCopy(RecordKind::Directory, 41, payload);
  const auto header = parseCopyHeader(RecordKind::Directory, copy);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->sequence, 41u);
  EXPECT_TRUE(payloadMatches(RecordKind::Directory, *header, payload));
  EXPECT_FALSE(parseCopyHeader(RecordKind::Token, copy));
  Bytes changed = payload;
  changed[4] ^= 1;
  EXPECT_FALSE(payloadMatches(RecordKind::Directory, *header, changed));
  CopyHeader laterSequence = *header;
  laterSequence.sequence = 42;  // a header from another write
  EXPECT_FALSE(payloadMatches(RecordKind::Directory, laterSequence, payload));
}

TEST(ObjectCodec, KeepsTypesAndChecksTheNumber) {
  Attributes a;
  a.setUlong(CKA_CLASS, CKO_CERTIFICATE);
  a.setBool(CKA_PRIVATE, true);
  a.set(CKA_LABEL, {'x', 'y'});
  a.set(CKA_VALUE, Bytes(300, 0xAB));
  const auto file = encodeObject(9, a);
  ASSERT_TRUE(file);
  const auto back = decodeObject(9, *file);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->all(), a.all());
  EXPECT_FALSE(decodeObject(10, *file));
  // Values are stored in 4 bytes, which is all a CK_ULONG holds on Windows.
  if constexpr (sizeof(CK_ULONG) > 4) {
    a.setUlong(CKA_CERTIFICATE_CATEGORY, std::numeric_limits<CK_ULONG>::max());
    EXPECT_FALSE(encodeObject(9, a));
  }
}

TEST_F(TokenRecords, NewestValidCopyWins) {
  TwinState writer;
  ASSERT_EQ(loadTwin(lock_, kDirectoryFile, writer), CKR_OK);
  EXPECT_EQ(writer.newest, -1);
  for (std::uint8_t round = 1; round <= 3; ++round)
    ASSERT_EQ(storeTwin(lock_, kDirectoryFile, writer, Bytes(40, round)), CKR_OK);
  EXPECT_EQ(writer.newest, 0);  // A, B, A

  TwinState reader;
  ASSERT_EQ(loadTwin(lock_, kDirectoryFile, reader), CKR_OK);
  EXPECT_EQ(reader.payload, Bytes(40, 3));
  // A torn write of the newest copy: the other one holds the record before.
  const Bytes garbage(10, 0xEE);
  ASSERT_EQ(NORV_DAL_WriteUsrDataFile(common::kModuleFileType, common::kDirectoryRun.first, 30, 10, garbage.data()), 0);
  reader = TwinState{};  // as another program reads it
  ASSERT_EQ(loadTwin(lock_, kDirectoryFile, reader), CKR_OK);
  EXPECT_EQ(reader.newest, 1);  // the second file
  EXPECT_EQ(reader.payload, Bytes(40, 2));
  // The next write replaces the spoilt copy.
  ASSERT_EQ(storeTwin(lock_, kDirectoryFile, reader, Bytes(40, 4)), CKR_OK);
  TwinState again;
  ASSERT_EQ(loadTwin(lock_, kDirectoryFile, again), CKR_OK);
  EXPECT_EQ(again.newest, 0);
  EXPECT_EQ(again.payload, Bytes(40, 4));
}

// A record that is there but cannot be read is never written over; one
// whose only write was cut short is simply not there yet.
TEST_F(TokenRecords, UnreadableRecordsAreNeverWrittenOver) {
  TwinState writer;
  ASSERT_EQ(loadTwin(lock_, kDirectoryFile, writer), CKR_OK);
  ASSERT_EQ(storeTwin(lock_, kDirectoryFile, writer, Bytes(40, 1)), CKR_OK);
  Bytes firstCopy(60);
  ASSERT_EQ(NORV_DAL_ReadUsrDataFile(common::kModuleFileType, common::kDirectoryRun.first, 0, 60, firstCopy.data()), 0);
  const Bytes garbage(10, 0xEE);
  ASSERT_EQ(NORV_DAL_WriteUsrDataFile(common::kModuleFileType, common::kDirectoryRun.first, 30, 10, garbage.data()), 0);
  TwinState reader;
  ASSERT_EQ(loadTwin(lock_, kDirectoryFile, reader), CKR_OK);
  EXPECT_EQ(reader.newest, -1);
  EXPECT_FALSE(reader.unreadable);  // the first write, cut short
  ASSERT_EQ(storeTwin(lock_, kDirectoryFile, reader, Bytes(40, 2)), CKR_OK);
  ASSERT_EQ(storeTwin(lock_, kDirectoryFile, reader, Bytes(40, 3)), CKR_OK);  // both copies now

  // A newer module's format.
  Bytes newer = firstCopy;
  newer[4] = 2;
  ASSERT_EQ(NORV_DAL_WriteUsrDataFile(common::kModuleFileType, common::kDirectoryRun.first + 1, 0, 60, newer.data()), 0);
  reader = TwinState{};
  ASSERT_EQ(loadTwin(lock_, kDirectoryFile, reader), CKR_OK);
  ASSERT_EQ(reader.newest, 0);  // the other copy is valid: it is the record
  ASSERT_EQ(NORV_DAL_WriteUsrDataFile(common::kModuleFileType, common::kDirectoryRun.first, 0, 60, newer.data()), 0);
  reader = TwinState{};
  ASSERT_EQ(loadTwin(lock_, kDirectoryFile, reader), CKR_OK);
  EXPECT_TRUE(reader.unreadable);
  EXPECT_EQ(storeTwin(lock_, kDirectoryFile, reader, Bytes(40, 4)), CKR_TOKEN_WRITE_PROTECTED);

  // Both copies written by this module, both spoilt since.
  ASSERT_EQ(NORV_DAL_WriteUsrDataFile(common::kModuleFileType, common::kDirectoryRun.first, 0, 60, firstCopy.data()), 0);
  Bytes second = firstCopy;
  second[15] ^= 1;  // a digest that matches nothing
  ASSERT_EQ(NORV_DAL_WriteUsrDataFile(common::kModuleFileType, common::kDirectoryRun.first + 1, 0, 60, second.data()), 0);
  ASSERT_EQ(NORV_DAL_WriteUsrDataFile(common::kModuleFileType, common::kDirectoryRun.first, 30, 10, garbage.data()), 0);
  reader = TwinState{};
  ASSERT_EQ(loadTwin(lock_, kDirectoryFile, reader), CKR_OK);
  EXPECT_TRUE(reader.unreadable);
  EXPECT_EQ(storeTwin(lock_, kDirectoryFile, reader, Bytes(40, 4)), CKR_TOKEN_WRITE_PROTECTED);
  Bytes after(60);
  ASSERT_EQ(NORV_DAL_ReadUsrDataFile(common::kModuleFileType, common::kDirectoryRun.first + 1, 0, 60, after.data()), 0);
  EXPECT_EQ(after, second);
}

}  // namespace
}  // namespace p11test

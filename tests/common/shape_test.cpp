// What the applications know of the token (common/) is held here to what
// the library defines for itself (src/card/): one change to the token's
// shape must be made in both, and this test says where they part.
#include <gtest/gtest.h>

#include "card/file_commands.h"
#include "card/pin_args.h"
#include "card/rsa_commands.h"
#include "card/token_layout.h"
#include "common/module_range.h"
#include "common/rsa1024.h"
#include "common/token_shape.h"
#include "device/tries_left.h"
#include "slot_config.h"
#include "trace.h"

namespace {

namespace layout = dal::layout;

TEST(TokenShape, KeyPairsArePlacedAndSizedAsTheLibrarysAre) {
  EXPECT_EQ(common::kKeyPairSlots, layout::kKeyPairSlots);
  EXPECT_EQ(common::publicKeyFile(0), layout::kRsaPublicFileBase);
  EXPECT_EQ(common::privateKeyFile(3), layout::kRsaPrivateFileBase + 3);
  EXPECT_EQ(common::kModulusBytes, dal::kRsaBlockBytes);
  EXPECT_EQ(common::kModulusBits, static_cast<std::int32_t>(8 * dal::kRsaBlockBytes));
  EXPECT_EQ(common::kCrtComponentBytes, dal::kRsaCrtComponentBytes);
}

TEST(TokenShape, SlotsAreTheDeviceLibrarys) {
  EXPECT_EQ(common::kSlotCount, dmcos::kSlotCount);
  EXPECT_STREQ(common::kSlotsVariable, dmcos::kSlotsVariable);
  EXPECT_STREQ(common::kTraceVariable, dmcos::kTraceVariable);
}

TEST(TokenShape, PinsAndFilesHaveTheLibrarysLimits) {
  EXPECT_EQ(common::kMaxPinLength, static_cast<std::size_t>(dal::kMaxReloadPin));
  EXPECT_EQ(common::kMaxTriesLeft, dal::kMostTriesLeft);
  const auto& bases = layout::kUserDataFileBases;
  EXPECT_EQ(common::kLastFileType - common::kFirstFileType + 1, static_cast<int>(bases.size()));
  for (std::size_t i = 1; i < bases.size(); ++i)
    EXPECT_EQ(common::kMaxFileIndex, bases[i] - bases[i - 1] - 1) << "file type " << i;
  EXPECT_EQ(common::kMaxUserFileSize, 0xFFFF - layout::kUserDataHeaderSize);
  EXPECT_EQ(common::kMaxGlobalFileSize, dal::kAddressableBytes - 1);
}

TEST(TokenShape, TheModulesRangeNamesCardFilesOfItsOwnType) {
  const auto& bases = layout::kUserDataFileBases;
  ASSERT_GE(common::kModuleFileType, 1);
  ASSERT_LE(common::kModuleFileType, static_cast<std::int32_t>(bases.size()));
  const auto type = static_cast<std::size_t>(common::kModuleFileType - 1);
  // The next type's files, or the key pairs after the last type's.
  const std::int32_t next = type + 1 < bases.size() ? bases[type + 1] : layout::kRsaPublicFileBase;
  EXPECT_LT(bases[type] + common::kLastObjectFile, next);
  EXPECT_LE(common::kModuleLastFile, common::kMaxFileIndex);
  EXPECT_LT(common::kTokenRecordRun.first + common::kTokenRecordRun.count - 1,
            common::kDirectoryRun.first);
  EXPECT_LT(common::kDirectoryRun.first + common::kDirectoryRun.count - 1,
            common::kFirstObjectFile);
}

}  // namespace

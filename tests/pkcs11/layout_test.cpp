// The module keeps its own copy of the token's shape, as the public API
// names it; here it is held to the library's.
#include <gtest/gtest.h>

#include "card/pin_args.h"
#include "card/rsa_commands.h"
#include "card/token_layout.h"
#include "reserved_files.h"

namespace {

namespace layout = dal::layout;

TEST(ModuleTokenLayout, KeyPairSlotsAndPinLengthsAreTheLibrarys) {
  EXPECT_EQ(p11::kKeySlots, layout::kKeyPairSlots);
  EXPECT_EQ(p11::kPublicKeyFileBase, layout::kRsaPublicFileBase);
  EXPECT_EQ(p11::kPrivateKeyFileBase, layout::kRsaPrivateFileBase);
  EXPECT_EQ(p11::kModulusBytes, dal::kRsaBlockBytes);
  EXPECT_EQ(p11::kModulusBits, static_cast<std::int32_t>(8 * dal::kRsaBlockBytes));
  EXPECT_EQ(p11::kCrtBytes, dal::kRsaCrtComponentBytes);
  EXPECT_EQ(p11::kMaxPin, static_cast<std::size_t>(dal::kMaxReloadPin));
}

TEST(ModuleTokenLayout, ReservedFilesNameCardFilesOfTheirOwnType) {
  const auto& bases = layout::kUserDataFileBases;
  ASSERT_GE(p11::kReservedFileType, 1);
  ASSERT_LE(p11::kReservedFileType, static_cast<std::int32_t>(bases.size()));
  const auto type = static_cast<std::size_t>(p11::kReservedFileType - 1);
  // The next type's files, or the key pairs after the last type's.
  const std::int32_t next = type + 1 < bases.size() ? bases[type + 1] : layout::kRsaPublicFileBase;
  EXPECT_LT(bases[type] + p11::kLastObjectFile, next);
  EXPECT_LT(p11::kRecordFiles + p11::kRecordFileCount - 1, p11::kDirectoryFiles);
  EXPECT_LT(p11::kDirectoryFiles + p11::kDirectoryFileCount - 1, p11::kFirstObjectFile);
}

}  // namespace

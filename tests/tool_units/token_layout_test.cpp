// The tool keeps its own copy of the token layout, as the public API names
// it; here it is held to the library's.
#include <gtest/gtest.h>

#include "card/file_commands.h"
#include "card/rsa_commands.h"
#include "card/token_layout.h"
#include "token_layout.h"

namespace {

namespace layout = dal::layout;

TEST(ToolTokenLayout, KeyPairSlotsAreTheLibrarys) {
  EXPECT_EQ(tkp30::kKeyPairSlots, layout::kKeyPairSlots);
  EXPECT_EQ(tkp30::publicKeyFile(0), layout::kRsaPublicFileBase);
  EXPECT_EQ(tkp30::privateKeyFile(3), layout::kRsaPrivateFileBase + 3);
  EXPECT_EQ(tkp30::kModulusBytes, dal::kRsaBlockBytes);
  EXPECT_EQ(tkp30::kRsaBits, static_cast<std::int32_t>(8 * dal::kRsaBlockBytes));
  EXPECT_EQ(tkp30::kCrtComponentBytes, dal::kRsaCrtComponentBytes);
}

TEST(ToolTokenLayout, FileLimitsAreTheLibrarys) {
  const auto& bases = layout::kUserDataFileBases;
  EXPECT_EQ(tkp30::kLastFileType - tkp30::kFirstFileType + 1, static_cast<int>(bases.size()));
  for (std::size_t i = 1; i < bases.size(); ++i)
    EXPECT_EQ(tkp30::kMaxFileIndex, bases[i] - bases[i - 1] - 1) << "file type " << i;
  EXPECT_EQ(tkp30::kMaxUserFileSize, 0xFFFF - layout::kUserDataHeaderSize);
  EXPECT_EQ(tkp30::kMaxGlobalFileSize, dal::kAddressableBytes - 1);
}

}  // namespace

// OpenError_UK: why the last open of a slot failed, per slot.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "dmcos.h"
#include "support/test_os.h"

namespace {

namespace fs = std::filesystem;

std::string reasonOf(int slot) {
  char buf[512];
  const int n = OpenError_UK(slot, buf, sizeof buf);
  EXPECT_GE(n, 0);
  EXPECT_LT(n, static_cast<int>(sizeof buf));
  return buf;
}

class OpenErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("TKP30_TEST_TMP");
    const std::string prefix = std::string(base && *base ? base : "/tmp") + "/openerror.";
    fs::create_directories(fs::path(prefix).parent_path());
    dir_ = testos::makeTempDir(prefix);
  }
  void TearDown() override {
    for (int slot = 1; slot <= 6; ++slot) Close_UK(slot);
    testos::unsetEnv("TKP30_SLOTS");
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string dir_;
};

TEST_F(OpenErrorTest, EachSlotSaysWhyItDidNotOpen) {
  const std::string damaged = dir_ + "/damaged.img";
  std::ofstream(damaged) << "not a token image at all, just bytes";
  fs::permissions(damaged, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directory(dir_ + "/folder.img");
  const std::string config = ";usb:1;emu:;emu:" + dir_ + "/no/such/token.img;emu:" + damaged +
                             ";emu:" + dir_ + "/folder.img";
  testos::setEnv("TKP30_SLOTS", config.c_str());
  for (int slot = 1; slot <= 6; ++slot) EXPECT_EQ(Open_UK(slot), 0) << slot;

  EXPECT_NE(reasonOf(1).find("not configured"), std::string::npos) << reasonOf(1);
  EXPECT_NE(reasonOf(2).find("\"usb:1\" is not a slot entry"), std::string::npos) << reasonOf(2);
  EXPECT_NE(reasonOf(3).find("names no token image"), std::string::npos) << reasonOf(3);
  EXPECT_NE(reasonOf(4).find("folder does not exist"), std::string::npos) << reasonOf(4);
  EXPECT_NE(reasonOf(5).find(damaged + ": "), std::string::npos) << reasonOf(5);
  EXPECT_NE(reasonOf(6).find("Is a directory"), std::string::npos) << reasonOf(6);
}

TEST_F(OpenErrorTest, ASuccessfulOpenClearsTheReason) {
  testos::setEnv("TKP30_SLOTS", ("emu:" + dir_ + "/gone/t.img").c_str());
  ASSERT_EQ(Open_UK(1), 0);
  ASSERT_NE(reasonOf(1), "");
  testos::setEnv("TKP30_SLOTS", ("emu:" + dir_ + "/t.img").c_str());
  ASSERT_EQ(Open_UK(1), 1);
  EXPECT_EQ(reasonOf(1), "");
}

TEST_F(OpenErrorTest, CopiesWhatFitsAndReportsTheFullLength) {
  testos::setEnv("TKP30_SLOTS", "");
  ASSERT_EQ(Open_UK(1), 0);
  const std::string full = reasonOf(1);
  char small[8] = "xxxxxxx";
  EXPECT_EQ(OpenError_UK(1, small, 5), static_cast<int>(full.size()));
  EXPECT_EQ(std::string(small), full.substr(0, 4));
  EXPECT_EQ(OpenError_UK(1, nullptr, 0), static_cast<int>(full.size()));
  EXPECT_EQ(OpenError_UK(0, small, 8), -1);
  EXPECT_EQ(OpenError_UK(7, small, 8), -1);
  EXPECT_EQ(OpenError_UK(1, nullptr, 8), -1);
  EXPECT_EQ(OpenError_UK(1, small, -1), -1);
}

}  // namespace

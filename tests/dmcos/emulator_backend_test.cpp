// The emulator backend: a slot scheme emu:<image> over the software token.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "backend.h"
#include "dmcos.h"
#include "support/child_process.h"

namespace {

struct Dir {
  std::string path;
  Dir() {
    const char* base = std::getenv("TKP30_TEST_TMP");
    std::string t = std::string(base && *base ? base : "/tmp") + "/emubackend.XXXXXX";
    std::filesystem::create_directories(std::filesystem::path(t).parent_path());
    if (mkdtemp(t.data())) path = t;
  }
  ~Dir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

TEST(EmulatorBackend, OpensABlankTokenAndCarriesCommands) {
  Dir dir;
  ASSERT_FALSE(dir.path.empty());
  auto backend = dmcos::makeEmulatorBackend(dir.path + "/token.img");
  ASSERT_NE(backend, nullptr);
  dmcos::Reply reply;
  const std::uint8_t select[] = {0x00, 0xA4, 0x00, 0x00, 0x02, 0x3F, 0x00};
  EXPECT_FALSE(backend->transmit(select, reply));  // not open yet
  std::string why;
  ASSERT_TRUE(backend->open(why)) << why;
  ASSERT_TRUE(backend->open(why));  // again: reuses the open token
  ASSERT_TRUE(backend->transmit(select, reply));
  EXPECT_EQ(reply.sw, 0x6A82);  // blank: no MF
  const std::uint8_t challenge[] = {0x00, 0x84, 0x00, 0x00, 0x08};
  ASSERT_TRUE(backend->transmit(challenge, reply));
  EXPECT_EQ(reply.sw, 0x9000);
  EXPECT_EQ(reply.len, 8u);
  backend->close();
  EXPECT_FALSE(backend->transmit(challenge, reply));
}

TEST(EmulatorBackend, DamagedImageKeepsTheSlotClosed) {
  Dir dir;
  ASSERT_FALSE(dir.path.empty());
  const std::string img = dir.path + "/token.img";
  std::ofstream(img) << "not a token image, just some bytes that are long enough to matter";
  namespace fs = std::filesystem;
  fs::permissions(img, fs::perms::owner_read | fs::perms::owner_write);  // only the content is wrong
  auto backend = dmcos::makeEmulatorBackend(img);
  ASSERT_NE(backend, nullptr);
  std::string why;
  EXPECT_FALSE(backend->open(why));
  EXPECT_NE(why.find(img + ": "), std::string::npos) << why;
  EXPECT_FALSE(dmcos::makeEmulatorBackend("")->open(why));
}

// The status word of one command through the device library's slot 1.
int sendToSlot1(const std::vector<std::uint8_t>& command) {
  unsigned char response[DMCOS_RESPONSE_HEADER + DMCOS_MAX_RESPONSE];
  int sw = 0;
  if (!APDU_UK(1, command.data(), static_cast<int>(command.size()), response,
               static_cast<int>(sizeof response), &sw))
    return -1;
  return sw;
}

// The diagnostic power cycle reaches the emulated token through the device
// library: what the token held for the session (here the current file) is
// gone, what it keeps is not.
TEST(EmulatorBackend, PowerCycleThroughTheDeviceLibraryLosesTheSession) {
  Dir dir;
  ASSERT_FALSE(dir.path.empty());
  const std::string img = dir.path + "/token.img";
  ::setenv("TKP30_SLOTS", ("emu:" + img).c_str(), 1);
  ASSERT_NE(Open_UK(1), 0);
  const std::vector<std::uint8_t> createMf = {0x80, 0xE0, 0x00, 0x00, 0x0F, 0x08, 0x5A, 0x00, 0x00,
                                              0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                              'M',  'F'};
  const std::vector<std::uint8_t> createEf = {0x80, 0xE0, 0x02, 0x00, 0x09, 0x21, 0x01,
                                              0x02, 0x00, 0x10, 0x0F, 0x0F, 0x0F, 0x0F};
  const std::vector<std::uint8_t> read = {0x00, 0xB0, 0x00, 0x00, 0x04};
  EXPECT_EQ(sendToSlot1(createMf), 0x9000);
  EXPECT_EQ(sendToSlot1(createEf), 0x9000);
  EXPECT_EQ(sendToSlot1(read), 0x9000);

  char reason[64] = "untouched";
  EXPECT_NE(PowerCycleEmu_UK(img.c_str(), reason, sizeof reason), 0);
  EXPECT_STREQ(reason, "untouched");
  EXPECT_EQ(sendToSlot1(read), 0x6986);  // no current file any more
  EXPECT_EQ(sendToSlot1({0x00, 0xA4, 0x02, 0x00, 0x02, 0x01, 0x02}), 0x9000);  // the file stays
  Close_UK(1);
  ::unsetenv("TKP30_SLOTS");

  EXPECT_EQ(PowerCycleEmu_UK((dir.path + "/no/such/folder/token.img").c_str(), reason,
                             sizeof reason),
            0);
  EXPECT_STRNE(reason, "untouched");
  EXPECT_GT(std::string(reason).size(), 0u);
  EXPECT_EQ(PowerCycleEmu_UK(nullptr, reason, sizeof reason), 0);
  EXPECT_STREQ(reason, "no token image named");
  EXPECT_EQ(PowerCycleEmu_UK("", nullptr, 0), 0);
}

// After fork(), the child's first use of a slot its parent opened does not
// reach the parent's token: the device library notices the new process,
// and the child's own open opens afresh. The child's exit (destructors
// run) leaves the parent's slot working.
TEST(EmulatorBackend, AForkedChildOpensAfreshAndLeavesTheParentsSlotAlone) {
  Dir dir;
  ASSERT_FALSE(dir.path.empty());
  ::setenv("TKP30_SLOTS", ("emu:" + dir.path + "/token.img").c_str(), 1);
  const std::vector<std::uint8_t> challenge = {0x00, 0x84, 0x00, 0x00, 0x08};
  ASSERT_NE(Open_UK(1), 0);
  ASSERT_EQ(sendToSlot1(challenge), 0x9000);
  EXPECT_EQ(testproc::reap(testproc::spawn([&] {
              if (sendToSlot1(challenge) != -1) return 1;  // not open in this process
              if (Open_UK(1) == 0 || sendToSlot1(challenge) != 0x9000) return 2;
              std::exit(0);
            })),
            0);
  EXPECT_EQ(sendToSlot1(challenge), 0x9000);
  Close_UK(1);
  ::unsetenv("TKP30_SLOTS");
}

}  // namespace

// The emulator backend: a slot scheme emu:<image> over the software token.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "backend.h"

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
  auto backend = dmcos::makeEmulatorBackend(img);
  ASSERT_NE(backend, nullptr);
  std::string why;
  EXPECT_FALSE(backend->open(why));
  EXPECT_NE(why.find(img + ": "), std::string::npos) << why;
  EXPECT_FALSE(dmcos::makeEmulatorBackend("")->open(why));
}

}  // namespace

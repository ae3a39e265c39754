// A token's files cannot be hijacked: links, FIFOs, other users' files,
// files open to others and hard links planted where the token keeps its
// image, its lock file or its next image are refused with the reason, or
// made harmless; a lock file cut short loses the state, never faults.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/child_process.h"
#include "support/emu_token.h"

using namespace emu_test;

namespace {

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Why the token in `img` does not open; "" when it opens.
std::string refusal(const std::string& img) {
  std::string error;
  return tkp30emu::openToken(img, error) ? std::string() : error;
}

class PlantedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    Card card(img);
    ASSERT_TRUE(card.format("12345678", "654321"));
    std::ofstream(victim) << "keep";
  }
  TempDir dir;
  std::string img = dir.file("token.img");
  std::string victim = dir.file("victim");
};

TEST_F(PlantedFiles, ImageThatIsALinkAFifoOrAHardLinkIsRefused) {
  const std::string real = dir.file("real.img");
  ASSERT_EQ(::rename(img.c_str(), real.c_str()), 0);
  ASSERT_EQ(::symlink(real.c_str(), img.c_str()), 0);
  EXPECT_NE(refusal(img).find(img + ": is a symbolic link"), std::string::npos) << refusal(img);

  ASSERT_EQ(::unlink(img.c_str()), 0);
  ASSERT_EQ(::mkfifo(img.c_str(), 0600), 0);
  // In a child, so that a hang on the FIFO is a failure and not a stuck suite.
  EXPECT_EQ(
      testproc::reap(testproc::spawn(
          [&] { return refusal(img).find("not a regular file") != std::string::npos ? 0 : 1; },
          10)),
      0);

  ASSERT_EQ(::unlink(img.c_str()), 0);
  ASSERT_EQ(::link(real.c_str(), img.c_str()), 0);
  EXPECT_NE(refusal(img).find("has other hard links"), std::string::npos) << refusal(img);
  ASSERT_EQ(::unlink(real.c_str()), 0);
  EXPECT_EQ(refusal(img), "");
}

TEST_F(PlantedFiles, LockFileOfAnotherUserOrOpenToOthersIsRefused) {
  const std::string lock = img + ".lock";
  ASSERT_EQ(::chmod(lock.c_str(), 0640), 0);
  EXPECT_NE(refusal(img).find(lock + ": open to group or others"), std::string::npos)
      << refusal(img);
  ASSERT_EQ(::chmod(lock.c_str(), 0600), 0);
  ASSERT_EQ(::chmod(img.c_str(), 0604), 0);
  EXPECT_NE(refusal(img).find(img + ": open to group or others"), std::string::npos);
  ASSERT_EQ(::chmod(img.c_str(), 0600), 0);
  EXPECT_EQ(refusal(img), "");

  const passwd* nobody = ::getpwnam("nobody");
  if (::geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root to give the file away";
  ASSERT_EQ(::chown(lock.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  EXPECT_NE(refusal(img).find(lock + ": owned by another user"), std::string::npos) << refusal(img);
}

// A link planted at the next image's name would have the token's image
// written through it: it is removed and the next image created afresh.
TEST_F(PlantedFiles, LinkAtTheNextImagesNameIsNotWrittenThrough) {
  Card card(img);
  ASSERT_EQ(::symlink(victim.c_str(), (img + ".tmp").c_str()), 0);
  ASSERT_EQ(card.send(cat({hex("00 20 11 00 06"), bytesOf("654321")})).sw, 0x9000);
  card.sw("00 A4 02 00 02 F4 1F");
  EXPECT_EQ(card.sw("00 D6 00 00 02 01 02"), 0x9000);
  EXPECT_EQ(readText(victim), "keep");
  struct stat st {};
  ASSERT_EQ(::lstat(img.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(refusal(img), "");
}

// The lock file cut short under a running token: the shared state is lost
// (a power-up: logged out), and nothing faults.
TEST_F(PlantedFiles, LockFileCutShortLosesTheStateWithoutAFault) {
  Card card(img);
  ASSERT_EQ(card.send(cat({hex("00 20 11 00 06"), bytesOf("654321")})).sw, 0x9000);
  ASSERT_EQ(::truncate((img + ".lock").c_str(), 0), 0);
  EXPECT_EQ(card.sw("00 A4 02 00 02 F5 1F"), 0x9000);
  EXPECT_EQ(card.sw("00 B0 00 00 02"), 0x6982);  // logged out
  ASSERT_EQ(card.send(cat({hex("00 20 11 00 06"), bytesOf("654321")})).sw, 0x9000);
  card.sw("00 A4 02 00 02 F5 1F");
  EXPECT_EQ(card.sw("00 B0 00 00 02"), 0x9000);  // and working again
}

}  // namespace

// Two processes on one token: one login state, whole commands.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "support/emu_token.h"

using namespace emu_test;

namespace {

// Runs `body` in a child process; its result is the child's exit status.
int inChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    int rc = 1;
    try {
      rc = body();
    } catch (...) {
      rc = 99;
    }
    _exit(rc);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

class TwoProcesses : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(card.format("12345678", "654321")); }
  TempDir dir;
  std::string img = dir.file("token.img");
  Card card{img};
};

TEST_F(TwoProcesses, BothSeeOneLoginState) {
  ASSERT_EQ(card.send(cat({hex("00 20 11 00 06"), bytesOf("654321")})).sw, 0x9000);
  EXPECT_EQ(inChild([&] {
              Card other(img);
              other.sw("00 A4 02 00 02 F5 1F");
              if (other.sw("00 B0 00 00 02") != 0x9000) return 1;
              // The other process logs out, for everyone.
              return other.send(cat({hex("00 20 0F 00 08"), bytesOf(kLogoutPin)})).sw == 0x9000 ? 0 : 2;
            }),
            0);
  card.sw("00 A4 02 00 02 F5 1F");
  EXPECT_EQ(card.sw("00 B0 00 00 02"), 0x6982);
  // Persistent changes made elsewhere are seen at once.
  EXPECT_EQ(inChild([&] {
              Card other(img);
              return other.send(cat({hex("00 20 11 00 03"), bytesOf("bad")})).sw == 0x63CE ? 0 : 1;
            }),
            0);
  EXPECT_EQ(card.sw("00 20 11 00"), 0x63CE);
}

TEST_F(TwoProcesses, InterleavedCommandsStayWhole) {
  // One file (the current file is shared by both, as on a real token):
  // bytes 0..199 written whole by either process, byte 200 the parent's
  // counter, byte 201 the child's.
  ASSERT_EQ(card.sw("80 E0 02 00 09 21 02 01 00 CA F0 F0 0F 0F"), 0x9000);
  constexpr int kRounds = 40;
  auto work = [&](std::uint8_t mark, std::uint8_t counterOffset) {
    Card c(img);
    for (int i = 1; i <= kRounds; ++i) {
      if (c.sw("00 A4 02 00 02 02 01") != 0x9000) return 1;
      const auto value = static_cast<std::uint8_t>(mark + i);
      if (c.send(cat({hex("00 D6 00 00 C8"), Bytes(200, value)})).sw != 0x9000) return 2;
      const auto r = c.send(hex("00 B0 00 00 C8"));
      const Bytes got = c.data(r);
      if (r.sw != 0x9000 || got.size() != 200 || std::count(got.begin(), got.end(), got[0]) != 200)
        return 3;  // a mixed file: two commands interleaved inside one
      if (c.send({0x00, 0xD6, 0x00, counterOffset, 0x01, static_cast<std::uint8_t>(i)}).sw != 0x9000)
        return 4;
    }
    return 0;
  };
  const pid_t pid = fork();
  if (pid == 0) _exit(work(0x80, 201));
  const int mine = work(0x00, 200);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(mine, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // Neither process lost the other's last update.
  Card fresh(img);
  fresh.sw("00 A4 02 00 02 02 01");
  EXPECT_EQ(fresh.data(fresh.send(hex("00 B0 00 C8 02"))), (Bytes{kRounds, kRounds}));
}

}  // namespace

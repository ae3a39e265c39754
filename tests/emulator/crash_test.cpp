// Killing a writer at random instants never leaves a mixed image, and PIN
// try counters never go back up.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>

#include "support/emu_token.h"
#include "tkp30emu/card.h"

using namespace emu_test;

namespace {

constexpr std::uint16_t kFile = 0x0101;
constexpr std::uint8_t kPin = 0x12;
constexpr std::uint8_t kMaxTries = 15;
constexpr std::size_t kFileSize = 200;

// What the writer tells the parent: an operation started or completed.
struct Message {
  std::uint8_t done;   // 0 started, 1 completed
  std::uint8_t isPin;  // 0 file write, 1 PIN presentation
  std::uint8_t tries;  // completed PIN presentation: tries left after it
  std::uint8_t pad;
  std::uint32_t seq;
};

Bytes pattern(std::uint32_t seq) {
  Bytes b(kFileSize, static_cast<std::uint8_t>(seq * 31 + 7));
  for (int i = 0; i < 4; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(seq >> (8 * i));
  return b;
}

// The writer: file writes, and PIN presentations that count the tries
// down (wrong PIN) and back to the maximum (right PIN) when few are left.
[[noreturn]] void writer(const std::string& img, std::uint32_t seq, int fd) {
  Card card(img);
  card.send(cat({hex("00 A4 02 00 02"), {static_cast<std::uint8_t>(kFile), static_cast<std::uint8_t>(kFile >> 8)}}));
  std::uint8_t tries = static_cast<std::uint8_t>(card.send(Bytes{0x00, 0x20, kPin, 0x00}).sw & 0x0F);
  for (;; ++seq) {
    const bool pin = seq % 3 == 2;
    Message m{0, pin, 0, 0, seq};
    if (write(fd, &m, sizeof m) != sizeof m) _exit(3);
    std::uint16_t sw = 0;
    if (pin) {
      const std::string value = tries > 2 ? "wrong" : "right";
      sw = card.send(cat({{0x00, 0x20, kPin, 0x00, 0x05}, bytesOf(value)})).sw;
      tries = sw == 0x9000 ? kMaxTries : static_cast<std::uint8_t>(sw & 0x0F);
      if (sw != 0x9000 && (sw & 0xFFF0) != 0x63C0) _exit(4);
    } else {
      sw = card.send(cat({hex("00 D6 00 00 C8"), pattern(seq)})).sw;
      if (sw != 0x9000) _exit(5);
    }
    m = Message{1, pin, tries, 0, seq};
    if (write(fd, &m, sizeof m) != sizeof m) _exit(3);
  }
}

TEST(CrashTest, KilledWritersLeaveTheOldOrTheNewImage) {
  TempDir dir;
  const std::string img = dir.file("token.img");
  {
    Card card(img);
    ASSERT_TRUE(card.format("12345678", "654321"));
    ASSERT_EQ(card.sw("80 E0 02 00 09 21 01 01 00 C8 F0 F0 0F 0F"), 0x9000);
    ASSERT_EQ(card.send(cat({hex("80 D4 00 00 0D 12 03 00 00 00 00 00 FF"), bytesOf("right")})).sw, 0x9000);
  }
  std::mt19937 rng(12345);
  std::uint32_t fileSeq = 0;  // 0: still zeros
  std::uint8_t tries = kMaxTries;
  std::uint32_t next = 1;
  int killedMidOperation = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (int round = 0; round < 300 && std::chrono::steady_clock::now() < deadline; ++round) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      writer(img, next, fds[1]);
    }
    close(fds[1]);
    usleep(std::uniform_int_distribution<useconds_t>(0, 25000)(rng));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer failed with " << WEXITSTATUS(status);
    // Replay what the writer reported.
    bool inFlight = false;
    Message last{};
    Message m{};
    while (read(fds[0], &m, sizeof m) == static_cast<ssize_t>(sizeof m)) {
      if (m.done) {
        inFlight = false;
        if (m.isPin) tries = m.tries; else fileSeq = m.seq;
      } else {
        inFlight = true;
        last = m;
      }
      next = m.seq + 1;
    }
    close(fds[0]);
    killedMidOperation += inFlight;
    // The image opens and holds the previous or the next state.
    std::string error;
    ASSERT_NE(tkp30emu::openToken(img, error), nullptr) << "round " << round << ": " << error;
    std::ifstream in(img, std::ios::binary);
    const Bytes image((std::istreambuf_iterator<char>(in)), {});
    tkp30emu::Persistent p;
    ASSERT_TRUE(tkp30emu::decodeImage(image, p, error)) << error;
    const Bytes& content = p.files.at(kFile).data;
    const Bytes before = fileSeq ? pattern(fileSeq) : Bytes(kFileSize, 0);
    if (content != before) {
      ASSERT_TRUE(inFlight && !last.isPin && content == pattern(last.seq)) << "round " << round;
      fileSeq = last.seq;
    }
    const std::uint8_t onCard = p.keys.at(kPin).tries;
    if (onCard != tries) {
      // Every presentation spends its try before the comparison; the right
      // one then gives it back with all the others.
      const bool spent = onCard + 1 == tries;
      const bool restored = tries <= 2 && onCard == kMaxTries;
      ASSERT_TRUE(inFlight && last.isPin && (spent || restored))
          << "round " << round << ": tries " << int(onCard) << ", expected " << int(tries);
      tries = onCard;
    }
    // A writer killed between the right PIN's spent try and its restore
    // leaves one try less; after that, the tries are given back here, so
    // that a run of such kills cannot block the PIN.
    if (tries < 2) {
      Card card(img);
      ASSERT_EQ(card.send(cat({{0x00, 0x20, kPin, 0x00, 0x05}, bytesOf("right")})).sw, 0x9000);
      tries = kMaxTries;
    }
  }
  EXPECT_GT(killedMidOperation, 0);
  EXPECT_GT(next, 10u);
}

}  // namespace

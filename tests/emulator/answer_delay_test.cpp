// TKP30_EMU_DELAY_US, the testing aid that slows the emulated token to a
// real token's pace. Timings are lower bounds only: a slow machine takes
// longer, never shorter.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "support/emu_token.h"
#include "support/test_os.h"

using namespace emu_test;
using namespace std::chrono_literals;

namespace {

constexpr char kVariable[] = "TKP30_EMU_DELAY_US";
constexpr int kCommands = 5;

// Sets the variable for one scope (unset with nullopt); puts back what was there.
class DelayVariable {
 public:
  explicit DelayVariable(const std::optional<std::string>& value) {
    if (const char* old = std::getenv(kVariable)) saved_ = old;
    set(value);
  }
  ~DelayVariable() { set(saved_); }
  DelayVariable(const DelayVariable&) = delete;
  DelayVariable& operator=(const DelayVariable&) = delete;

 private:
  static void set(const std::optional<std::string>& value) {
    if (value)
      testos::setEnv(kVariable, value->c_str());
    else
      testos::unsetEnv(kVariable);
  }
  std::optional<std::string> saved_;
};

// GET CHALLENGE `kCommands` times; the wall time they took.
std::chrono::steady_clock::duration challenges(Card& card) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kCommands; ++i) EXPECT_EQ(card.sw("00 84 00 00 08"), 0x9000);
  return std::chrono::steady_clock::now() - start;
}

class AnswerDelay : public ::testing::Test {
 protected:
  TempDir dir;
  std::string img = dir.file("token.img");
};

TEST_F(AnswerDelay, EveryAnswerWaitsTheDelayReadWhenTheTokenOpened) {
  std::optional<Card> card;
  {
    const DelayVariable delay("20000");
    card.emplace(img);
  }
  EXPECT_EQ(card->token().answerDelay(), 20ms);
  EXPECT_GE(challenges(*card), kCommands * 20ms);
  // A change after the open is for the next token opened.
  const DelayVariable none(std::nullopt);
  EXPECT_EQ(card->token().answerDelay(), 20ms);
  EXPECT_EQ(Card(img).token().answerDelay(), 0us);
}

// Two tokens on one image, as two programs would have: the second waits
// for the first one's answers, so the delays add up.
TEST_F(AnswerDelay, TwoUsersOfOneTokenWaitForEachOthersAnswers) {
  const DelayVariable delay("20000");
  Card first(img), second(img);
  const auto start = std::chrono::steady_clock::now();
  std::thread other([&] { challenges(second); });
  challenges(first);
  other.join();
  EXPECT_GE(std::chrono::steady_clock::now() - start, 2 * kCommands * 20ms);
}

TEST_F(AnswerDelay, AnythingButWholeMicrosecondsUpToASecondIsIgnored) {
  for (const char* bad : {"", "abc", "-1", "+20", "20ms", " 20", "20 ", "1e3", "0x10", "2.5",
                          "1000001", "99999999999999999999"}) {
    const DelayVariable delay(bad);
    EXPECT_EQ(Card(img).token().answerDelay(), 0us) << '"' << bad << '"';
  }
  const std::pair<const char*, std::chrono::microseconds> good[] = {
      {"0", 0us}, {"1", 1us}, {"0003000", 3000us}, {"1000000", 1s}};
  for (const auto& [text, expected] : good) {
    const DelayVariable delay(text);
    EXPECT_EQ(Card(img).token().answerDelay(), expected) << text;
  }
}

}  // namespace

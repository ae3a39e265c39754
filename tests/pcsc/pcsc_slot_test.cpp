// The device library's PC/SC slots against real pcscd, with tkp30-vcard
// cards inserted in and pulled from vpcd's virtual readers.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "dmcos.h"
#include "pcsc/pcsc_fixture.h"

namespace pcsctest {
namespace {

TEST_F(PcscSlotTest, NamedReaderCarriesCommandsUnchanged) {
  VcardProcess card(kFirstReader, imagePath());
  ASSERT_TRUE(waitForCard(kFirstReader, true));
  useSlots(std::string("pcsc:") + kFirstReader.name);
  ASSERT_EQ(Open_UK(1), 1);
  ASSERT_EQ(Open_UK(1), 1) << "opening an open slot reuses its connection";

  const Answer first = send(1, kGetChallenge);
  const Answer second = send(1, kGetChallenge);
  ASSERT_TRUE(first.carried && second.carried);
  EXPECT_EQ(first.sw, 0x9000);
  EXPECT_EQ(first.data.size(), 8u);
  EXPECT_NE(first.data, second.data) << "the token's challenges, not a canned answer";

  std::array<unsigned char, 2 + 4> small{};
  int sw = 0;
  EXPECT_EQ(APDU_UK(1, kGetChallenge.data(), static_cast<int>(kGetChallenge.size()), small.data(),
                    static_cast<int>(small.size()), &sw),
            0)
      << "8 bytes of data do not fit 4";
  EXPECT_EQ(Close_UK(1), 1);
  EXPECT_FALSE(send(1, kGetChallenge).carried) << "a closed slot carries nothing";
  EXPECT_TRUE(card.stop()) << "the card stops cleanly on SIGTERM";
}

TEST_F(PcscSlotTest, MissingReaderOrCardDoesNotOpen) {
  useSlots("pcsc:No Such Reader;pcsc:" + std::string(kSecondReader.name) + ";pcsc:");
  ASSERT_TRUE(waitForCard(kFirstReader, false) && waitForCard(kSecondReader, false));
  EXPECT_EQ(Open_UK(1), 0);
  EXPECT_EQ(Open_UK(2), 0) << "a reader without a card";
  EXPECT_EQ(Open_UK(3), 0) << "no reader holds a card";
  EXPECT_FALSE(send(2, kGetChallenge).carried);
  const auto why = [](int slot) {
    std::array<char, 256> text{};
    OpenError_UK(slot, text.data(), static_cast<int>(text.size()));
    return std::string(text.data());
  };
  const std::string listed =
      "\"" + std::string(kFirstReader.name) + "\", \"" + kSecondReader.name + "\"";
  EXPECT_EQ(why(1), "no reader named \"No Such Reader\"; the readers are " + listed);
  EXPECT_EQ(why(2), "no card in reader \"" + std::string(kSecondReader.name) + "\"");
  EXPECT_EQ(why(3), "no reader holds a card; the readers are " + listed);
}

TEST_F(PcscSlotTest, AnyReaderPicksTheFirstHoldingACard) {
  VcardProcess trivial(kSecondReader, "");
  ASSERT_TRUE(waitForCard(kSecondReader, true));
  useSlots("pcsc:");
  ASSERT_EQ(Open_UK(1), 1);
  Answer answer = send(1, kGetChallenge);
  EXPECT_TRUE(answer.carried && answer.sw == 0x9000 && answer.data.empty())
      << "only the second reader holds a card: the trivial one";

  VcardProcess token(kFirstReader, imagePath());
  ASSERT_TRUE(waitForCard(kFirstReader, true));
  ASSERT_EQ(Close_UK(1), 1);
  ASSERT_EQ(Open_UK(1), 1);
  answer = send(1, kGetChallenge);
  EXPECT_TRUE(answer.carried && answer.data.size() == 8u) << "the first reader comes first";
}

TEST_F(PcscSlotTest, PulledCardFailsThenReopensClean) {
  auto card = std::make_unique<VcardProcess>(kFirstReader, imagePath());
  ASSERT_TRUE(waitForCard(kFirstReader, true));
  useSlots(std::string("pcsc:") + kFirstReader.name);
  ASSERT_EQ(Open_UK(1), 1);
  ASSERT_TRUE(send(1, kGetChallenge).carried);

  ASSERT_TRUE(card->stop());
  EXPECT_FALSE(send(1, kGetChallenge).carried) << "the pulled card's command is not carried";
  ASSERT_TRUE(waitForCard(kFirstReader, false));
  EXPECT_EQ(Open_UK(1), 0);
  EXPECT_FALSE(send(1, kGetChallenge).carried);

  card = std::make_unique<VcardProcess>(kFirstReader, imagePath());
  ASSERT_TRUE(waitForCard(kFirstReader, true));
  ASSERT_EQ(Open_UK(1), 1) << "the card back in the reader opens again";
  const Answer answer = send(1, kGetChallenge);
  EXPECT_TRUE(answer.carried && answer.sw == 0x9000);
}

TEST_F(PcscSlotTest, ThreadsShareSlotsSafely) {
  VcardProcess token(kFirstReader, imagePath());
  VcardProcess trivial(kSecondReader, "");
  ASSERT_TRUE(waitForCard(kFirstReader, true) && waitForCard(kSecondReader, true));
  useSlots(std::string("pcsc:") + kFirstReader.name + ";pcsc:" + kSecondReader.name);
  constexpr int kThreads = 4;
  constexpr int kRounds = 50;
  std::array<int, kThreads> failures{};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      const int slot = 1 + t % 2;
      for (int i = 0; i < kRounds; ++i) {
        const Answer answer = Open_UK(slot) ? send(slot, kGetChallenge) : Answer{};
        if (!answer.carried || answer.sw != 0x9000) ++failures[static_cast<std::size_t>(t)];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const int count : failures) EXPECT_EQ(count, 0);
}

// A forked child never talks over its parent's PC/SC connection: its first
// command is not carried, its own open connects afresh, and its exit
// (destructors run) leaves the parent's connection working.
TEST_F(PcscSlotTest, AForkedChildConnectsAfreshAndLeavesTheParentsConnection) {
  VcardProcess card(kFirstReader, imagePath());
  ASSERT_TRUE(waitForCard(kFirstReader, true));
  useSlots(std::string("pcsc:") + kFirstReader.name);
  ASSERT_EQ(Open_UK(1), 1);
  ASSERT_TRUE(send(1, kGetChallenge).carried);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(30);
    if (send(1, kGetChallenge).carried) ::_exit(1);
    if (Open_UK(1) != 1 || send(1, kGetChallenge).data.size() != 8) ::_exit(2);
    std::exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const Answer answer = send(1, kGetChallenge);
  EXPECT_TRUE(answer.carried && answer.data.size() == 8u);
}

}  // namespace
}  // namespace pcsctest

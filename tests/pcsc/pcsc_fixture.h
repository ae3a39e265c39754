// A PC/SC slot test: a scratch folder for token images, the slot
// configuration in TKP30_SLOTS, and every slot closed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pcsc/vcard_process.h"
#include "pcsc/virtual_readers.h"

namespace pcsctest {

// GET CHALLENGE of 8 bytes: the token answers random data, the trivial
// card 90 00 alone.
inline constexpr std::array<std::uint8_t, 5> kGetChallenge = {0x00, 0x84, 0x00, 0x00, 0x08};

struct Answer {
  bool carried = false;
  int sw = 0;
  std::vector<std::uint8_t> data;
};

// One command through APDU_UK.
Answer send(int slot, std::span<const std::uint8_t> command);

class PcscSlotTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void useSlots(const std::string& config);
  const std::string& imagePath() const { return imagePath_; }

 private:
  std::string dir_;
  std::string imagePath_;
};

}  // namespace pcsctest

// End-to-end fixture: every test gets a fresh token behind the real
// device library.
//
// By default that is a new emulated token image in a temporary folder,
// reached through TKP30_SLOTS=emu:<image>. TKP30_E2E_T0=1 turns on the
// emulated token's T=0 behaviour. TKP30_E2E_SLOTS=<slot config> runs the
// same tests against other slots instead (for example a virtual card
// behind pcscd); such a token is formatted afresh by each test that needs
// it.
//
// Like every program that drives a token through the library, a test
// holds the library's named lock for the whole of its work on the token:
// the end-to-end suite may run in several processes against one card.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "norv_dal_tkp30.h"

namespace e2e {

inline const std::vector<std::uint8_t> kSuperPin = {'1', '1', '2', '2', '3', '3', '4', '4'};
inline const std::vector<std::uint8_t> kUserPin = {'6', '5', '4', '3', '2', '1'};

class TokenTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Formats the token with kSuperPin and kUserPin; asserts success.
  void format();
  // Loses the token's volatile state (login, current file, cipher state).
  void powerCycle();
  // True when the tests run against an emulated token image.
  bool emulated() const { return !imagePath_.empty(); }
  const std::string& imagePath() const { return imagePath_; }

 private:
  std::string dir_;
  std::string imagePath_;
  NORV_DAL_MUTEX* lock_ = nullptr;
};

}  // namespace e2e

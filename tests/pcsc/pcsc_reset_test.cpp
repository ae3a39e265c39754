// What only a real resource manager can show: another application resets
// the shared card under an open session, and the login is gone; without
// pcscd the slot simply does not open.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "dmcos.h"
#include "norv_dal_tkp30.h"
#include "pcsc/pcsc_fixture.h"
#include "support/e2e_pcsc_reset.h"
#include "support/e2e_token.h"

namespace pcsctest {
namespace {

constexpr std::int32_t kUserLogin = 2;

// Resets the card from a child process with its own PC/SC context.
bool resetFromAnotherProcess(const std::string& slots) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(e2e::resetPcscCard(slots) ? 0 : 1);
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

std::int32_t loginFlag() {
  std::int32_t flag = -1;
  EXPECT_EQ(NORV_DAL_IsLogin(kUserLogin, &flag), 0);
  return flag;
}

TEST_F(PcscSlotTest, ResetByAnotherProcessClearsTheLogin) {
  VcardProcess card(kFirstReader, imagePath());
  ASSERT_TRUE(waitForCard(kFirstReader, true));
  const std::string slots = std::string("pcsc:") + kFirstReader.name;
  useSlots(slots);
  const auto& superPin = e2e::kSuperPin;
  const auto& userPin = e2e::kUserPin;
  ASSERT_EQ(NORV_DAL_FormatDevice(superPin.data(), static_cast<std::int32_t>(superPin.size()),
                                  userPin.data(), static_cast<std::int32_t>(userPin.size())),
            0);
  ASSERT_EQ(NORV_DAL_Login(kUserLogin, userPin.data(), static_cast<std::int32_t>(userPin.size())), 0);
  ASSERT_EQ(loginFlag(), 1);

  ASSERT_TRUE(resetFromAnotherProcess(slots));
  EXPECT_EQ(loginFlag(), 0) << "the reset card forgot the verified PIN";
  EXPECT_EQ(NORV_DAL_Finalize(), 0);
}

// Run by the suite script with PCSCLITE_CSOCK_NAME naming a socket nobody
// serves: pcsc-lite reads it once per process.
TEST(PcscNoService, OpenFailsWithoutResourceManager) {
  if (!std::getenv("PCSCLITE_CSOCK_NAME")) GTEST_SKIP() << "needs PCSCLITE_CSOCK_NAME";
  ::setenv("TKP30_SLOTS", "pcsc:;pcsc:Virtual PCD 00 00", 1);
  EXPECT_EQ(Open_UK(1), 0);
  EXPECT_EQ(Open_UK(2), 0);
  char why[128];
  OpenError_UK(2, why, sizeof why);
  EXPECT_STREQ(why, "pcscd is not running");
  EXPECT_EQ(NORV_DAL_Initialize(), NORV_DAL_ERR_OPEN_DEVICE);
  EXPECT_FALSE(send(1, kGetChallenge).carried);
  ::unsetenv("TKP30_SLOTS");
}

}  // namespace
}  // namespace pcsctest

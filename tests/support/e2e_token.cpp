#include "support/e2e_token.h"

#include <cstdlib>
#include <filesystem>

#include "norv_dal_tkp30.h"
#include "support/e2e_pcsc_reset.h"
#include "support/test_os.h"
#include "tkp30emu/token.h"

namespace e2e {
namespace {

std::string tempRoot() {
  const char* root = std::getenv("TKP30_TEST_TMP");
  return root && *root ? root : std::filesystem::temp_directory_path().string();
}

bool t0Requested() {
  const char* t0 = std::getenv("TKP30_E2E_T0");
  return t0 && std::string(t0) == "1";
}

}  // namespace

void TokenTest::SetUp() {
  ASSERT_EQ(NORV_DAL_CreateMutex(&lock_), NORV_DAL_OK);
  ASSERT_EQ(NORV_DAL_LockMutex(lock_), NORV_DAL_OK);
  if (const char* slots = std::getenv("TKP30_E2E_SLOTS"); slots && *slots) {
    testos::setEnv("TKP30_SLOTS", slots);
    return;
  }
  std::filesystem::create_directories(tempRoot());
  dir_ = testos::makeTempDir(tempRoot() + "/e2e-");
  imagePath_ = dir_ + "/token.img";
  if (t0Requested()) {
    std::string error;
    ASSERT_TRUE(tkp30emu::setTokenOptions(imagePath_, tkp30emu::TokenOptions{true}, error))
        << error;
  }
  testos::setEnv("TKP30_SLOTS", ("emu:" + imagePath_).c_str());
}

void TokenTest::TearDown() {
  NORV_DAL_Finalize();
  if (!dir_.empty()) {
    std::string ignoredError;
    tkp30emu::powerCycleToken(imagePath_, ignoredError);  // drops the token's shared volatile state
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  if (lock_ != nullptr) {
    NORV_DAL_UnLockMutex(lock_);
    NORV_DAL_DestroyMutex(lock_);
  }
}

void TokenTest::format() {
  ASSERT_EQ(NORV_DAL_FormatDevice(kSuperPin.data(), static_cast<int32_t>(kSuperPin.size()),
                                  kUserPin.data(), static_cast<int32_t>(kUserPin.size())),
            0);
}

void TokenTest::powerCycle() {
  if (emulated()) {
    std::string error;
    ASSERT_TRUE(tkp30emu::powerCycleToken(imagePath_, error)) << error;
    return;
  }
  const char* slots = std::getenv("TKP30_SLOTS");
  ASSERT_TRUE(slots && resetPcscCard(slots)) << "cannot reset the card of a pcsc: slot";
}

}  // namespace e2e

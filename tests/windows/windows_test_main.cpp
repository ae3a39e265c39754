// The Windows suite's program: GoogleTest, or one of the roles the tests
// start it in as a second process.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "norv_dal_tkp30.h"
#include "support/test_os.h"
#include "windows/child_process.h"
#include "windows/roles.h"

namespace {

// Takes the named lock, says so, holds it a while, says it is letting go
// and unlocks.
int holdLock(const std::string& tag) {
  HANDLE held = wintest::namedEvent(wintest::kHeldEvent + tag);
  HANDLE releasing = wintest::namedEvent(wintest::kReleasingEvent + tag);
  NORV_DAL_MUTEX* mutex = nullptr;
  if (held == nullptr || releasing == nullptr || NORV_DAL_CreateMutex(&mutex) != 0) return 2;
  NORV_DAL_LockMutex(mutex);
  SetEvent(held);
  Sleep(300);
  SetEvent(releasing);
  NORV_DAL_UnLockMutex(mutex);
  NORV_DAL_DestroyMutex(mutex);
  CloseHandle(held);
  CloseHandle(releasing);
  return 0;
}

// The user PIN's login state of the emulated token in `image`: 0 or 1,
// or 10 when it cannot be asked.
int userLoginState(const std::string& image) {
  testos::setEnv("TKP30_SLOTS", ("emu:" + image).c_str());
  int32_t loggedIn = -1;
  if (NORV_DAL_IsLogin(NORV_DAL_LOGIN_USER, &loggedIn) != 0) return 10;
  return loggedIn;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], wintest::kHoldLockRole) == 0) return holdLock(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], wintest::kLoginStateRole) == 0)
    return userLoginState(argv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

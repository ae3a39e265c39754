// The named lock as Windows processes see it: one kernel semaphore called
// "SemNorvDal", shared by every process, with a count of at most 1; and a
// name that cannot be had gives an error, a log line and no handle.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "norv_dal_tkp30.h"
#include "windows/child_process.h"
#include "windows/diagnostic_log.h"
#include "windows/roles.h"

namespace {

constexpr char kSemaphoreName[] = "SemNorvDal";

TEST(NamedLockAcrossProcesses, SecondProcessWaitsUntilTheHolderUnlocks) {
  const std::string tag = std::to_string(GetCurrentProcessId());
  HANDLE held = wintest::namedEvent(wintest::kHeldEvent + tag);
  HANDLE releasing = wintest::namedEvent(wintest::kReleasingEvent + tag);
  ASSERT_NE(held, nullptr);
  ASSERT_NE(releasing, nullptr);
  void* child = wintest::startChild(wintest::kHoldLockRole, tag);
  ASSERT_NE(child, nullptr);
  ASSERT_EQ(WaitForSingleObject(held, 30000), WAIT_OBJECT_0);

  NORV_DAL_MUTEX* mutex = nullptr;
  ASSERT_EQ(NORV_DAL_CreateMutex(&mutex), NORV_DAL_OK);
  EXPECT_EQ(NORV_DAL_LockMutex(mutex), NORV_DAL_OK);
  // The holder signals just before it unlocks, and sleeps before that.
  EXPECT_EQ(WaitForSingleObject(releasing, 0), WAIT_OBJECT_0) << "locked while the other held it";
  EXPECT_EQ(NORV_DAL_UnLockMutex(mutex), NORV_DAL_OK);
  EXPECT_EQ(NORV_DAL_DestroyMutex(mutex), NORV_DAL_OK);
  EXPECT_EQ(wintest::finishChild(child), 0);
  CloseHandle(held);
  CloseHandle(releasing);
}

TEST(NamedLock, IsTheSemaphoreByNameAndASecondUnlockKeepsItBinary) {
  NORV_DAL_MUTEX* mutex = nullptr;
  ASSERT_EQ(NORV_DAL_CreateMutex(&mutex), NORV_DAL_OK);
  HANDLE raw = OpenSemaphoreA(SYNCHRONIZE, FALSE, kSemaphoreName);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(NORV_DAL_LockMutex(mutex), NORV_DAL_OK);
  EXPECT_EQ(NORV_DAL_UnLockMutex(mutex), NORV_DAL_OK);
  EXPECT_EQ(NORV_DAL_UnLockMutex(mutex), NORV_DAL_OK);  // already free
  EXPECT_EQ(NORV_DAL_LockMutex(mutex), NORV_DAL_OK);
  EXPECT_EQ(WaitForSingleObject(raw, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "count went above 1";
  EXPECT_EQ(NORV_DAL_UnLockMutex(mutex), NORV_DAL_OK);
  EXPECT_EQ(NORV_DAL_DestroyMutex(mutex), NORV_DAL_OK);
  EXPECT_EQ(NORV_DAL_DestroyMutex(nullptr), NORV_DAL_OK);
  CloseHandle(raw);
}

TEST(NamedLock, ANameHeldByAnotherKindOfObjectGivesNoHandle) {
  wintest::LogDirectory log;
  HANDLE squatter = CreateMutexA(nullptr, FALSE, kSemaphoreName);
  ASSERT_NE(squatter, nullptr);
  NORV_DAL_MUTEX* mutex = nullptr;
  EXPECT_EQ(NORV_DAL_CreateMutex(&mutex), NORV_DAL_ERR_CREATE_SYNC);
  EXPECT_EQ(mutex, nullptr);
  CloseHandle(squatter);
  const std::string text = log.read();
  EXPECT_GE(text.size(), 2u);
  EXPECT_TRUE(text.ends_with(" # ******>create lock\r\n")) << text;
}

}  // namespace

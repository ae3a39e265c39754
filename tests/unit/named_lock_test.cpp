// The machine-wide lock, across processes.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <string>

#include "device/named_lock.h"
#include "norv_dal_tkp30.h"

namespace {

std::string uniqueName(const char* what) {
  return std::string("NorvDalTest-") + what + "-" + std::to_string(::getpid());
}

struct SharedFlags {
  std::atomic<int> childHolds{0};
  std::atomic<int> childReleasing{0};
};

SharedFlags* mapFlags() {
  void* mem = ::mmap(nullptr, sizeof(SharedFlags), PROT_READ | PROT_WRITE,
                     MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  return new (mem) SharedFlags;
}

void waitFor(const std::atomic<int>& flag) {
  while (flag.load() == 0) ::usleep(1000);
}

// Waits for a child; true when it exited normally with status 0.
bool childSucceeded(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(NamedLock, SecondProcessWaitsUntilTheHolderUnlocks) {
  const std::string name = uniqueName("wait");
  SharedFlags* flags = mapFlags();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dal::NamedLock lock(name.c_str());
    lock.lock();
    flags->childHolds = 1;
    ::usleep(100 * 1000);
    flags->childReleasing = 1;
    lock.unlock();
    ::_exit(0);
  }
  waitFor(flags->childHolds);
  dal::NamedLock lock(name.c_str());
  ASSERT_TRUE(lock.valid());
  lock.lock();
  EXPECT_EQ(flags->childReleasing.load(), 1);  // we only got it after the release
  lock.unlock();
  EXPECT_TRUE(childSucceeded(child));
  ::shm_unlink(("/" + name).c_str());
}

// Unlocking a free lock leaves it free with count 1: one lock takes it
// and a second locker must block.
TEST(NamedLock, DoubleUnlockDoesNotRaiseTheCountAboveOne) {
  const std::string name = uniqueName("count");
  dal::NamedLock lock(name.c_str());
  lock.lock();
  lock.unlock();
  lock.unlock();
  lock.lock();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(1);  // a child that gets the lock exits 0; one that blocks dies by SIGALRM
    dal::NamedLock other(name.c_str());
    other.lock();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM);
  lock.unlock();
  ::shm_unlink(("/" + name).c_str());
}

// No owner: a process that dies holding the lock leaves it taken until
// another handle releases it.
TEST(NamedLock, ReleaseThroughAnotherHandleFreesALockWhoseHolderDied) {
  const std::string name = uniqueName("orphan");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dal::NamedLock lock(name.c_str());
    lock.lock();
    ::_exit(0);
  }
  ASSERT_TRUE(childSucceeded(child));
  dal::NamedLock lock(name.c_str());
  lock.unlock();
  lock.lock();  // would block for ever had the release not freed it
  lock.unlock();
  ::shm_unlink(("/" + name).c_str());
}

TEST(MutexExports, CreateLockUnlockDestroy) {
  NORV_DAL_MUTEX* a = nullptr;
  NORV_DAL_MUTEX* b = nullptr;
  ASSERT_EQ(NORV_DAL_CreateMutex(&a), 0);
  ASSERT_EQ(NORV_DAL_CreateMutex(&b), 0);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(NORV_DAL_LockMutex(a), 0);
  EXPECT_EQ(NORV_DAL_UnLockMutex(b), 0);  // any handle may release
  EXPECT_EQ(NORV_DAL_UnLockMutex(b), 0);  // a free lock stays free
  EXPECT_EQ(NORV_DAL_DestroyMutex(a), 0);
  EXPECT_EQ(NORV_DAL_DestroyMutex(b), 0);
  EXPECT_EQ(NORV_DAL_DestroyMutex(nullptr), 0);
  EXPECT_EQ(NORV_DAL_CreateMutex(nullptr), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_LockMutex(nullptr), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_UnLockMutex(nullptr), NORV_DAL_ERR_PARAM);
}

}  // namespace

// The machine-wide lock, across processes. Every test uses a lock of its
// own name, never the one programs share.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/mutex_create.h"
#include "device/named_lock.h"
#include "norv_dal_tkp30.h"
#include "support/child_process.h"
#include "support/log_reader.h"

namespace {

constexpr unsigned kGenerousSeconds = 30;  // a bound for things that take milliseconds
// How long a child that should stay blocked is given: a free lock is taken
// within microseconds of the child's first try.
constexpr std::chrono::milliseconds kBlockedFor{250};
// A waiter takes a gone holder's lock over at its first check, a second
// into its wait; this bounds a wait that should end so.
constexpr unsigned kTakeOverAlarm = 10;

std::string uniqueName(const char* what) {
  return std::string("NorvDalTest-") + what + "-" + std::to_string(::getpid());
}

std::string objectPath(const std::string& name) { return "/dev/shm/" + name; }

struct SharedFlags {
  std::atomic<int> childHolds{0};
  std::atomic<int> childReleasing{0};
};

SharedFlags* mapFlags() {
  void* mem = ::mmap(nullptr, sizeof(SharedFlags), PROT_READ | PROT_WRITE,
                     MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  return new (mem) SharedFlags;
}

bool waitFor(const std::atomic<int>& flag) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(kGenerousSeconds);
  while (flag.load() == 0) {
    if (std::chrono::steady_clock::now() > until) return false;
    ::usleep(1000);
  }
  return true;
}

// Waits for a child; true when it exited normally with status 0.
bool childSucceeded(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

pid_t spawn(const std::function<int()>& body, unsigned seconds = kGenerousSeconds) {
  return testproc::spawn(body, seconds);
}
using testproc::reap;

void armTimer(std::chrono::milliseconds limit) {
  itimerval timer{};
  timer.it_value.tv_sec = static_cast<time_t>(limit.count() / 1000);
  timer.it_value.tv_usec = static_cast<suseconds_t>(limit.count() % 1000 * 1000);
  ::setitimer(ITIMER_REAL, &timer, nullptr);
}

// 0 when a new handle in a child gets the lock; -SIGALRM when it is still
// waiting after `limit`.
int lockInChild(const std::string& name, std::chrono::milliseconds limit) {
  return reap(spawn([&] {
    armTimer(limit);
    dal::NamedLock lock(name.c_str());
    if (!lock.valid()) return 1;
    lock.lock();
    return 0;
  }));
}
int lockInChild(const std::string& name, unsigned seconds) {
  return lockInChild(name, std::chrono::seconds(seconds));
}

void writeWord(const std::string& name, std::uint32_t value) {
  const int fd = ::open(objectPath(name).c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::pwrite(fd, &value, sizeof value, 0), static_cast<ssize_t>(sizeof value));
  ::close(fd);
}

void fillObject(const std::string& name, std::uint8_t byte) {
  const int fd = ::open(objectPath(name).c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  struct stat st {};
  ASSERT_EQ(::fstat(fd, &st), 0);
  const std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size), byte);
  EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
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
  ASSERT_TRUE(waitFor(flags->childHolds));
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
  EXPECT_EQ(lockInChild(name, kBlockedFor), -SIGALRM);
  lock.unlock();
  ::shm_unlink(("/" + name).c_str());
}

// No owner: an unlock through another handle frees the lock at once,
// while its holder still runs and would never release it.
TEST(NamedLock, ReleaseThroughAnotherHandleFreesTheLockOfALiveHolder) {
  const std::string name = uniqueName("release");
  SharedFlags* flags = mapFlags();
  dal::NamedLock lock(name.c_str());
  ASSERT_TRUE(lock.valid());
  const pid_t holder = spawn([&] {
    dal::NamedLock held(name.c_str());
    held.lock();
    flags->childHolds = 1;
    ::pause();
    return 0;
  });
  ASSERT_TRUE(waitFor(flags->childHolds));
  EXPECT_EQ(lockInChild(name, kBlockedFor), -SIGALRM) << "the holder's lock was free";
  lock.unlock();
  EXPECT_EQ(lockInChild(name, kGenerousSeconds), 0);
  ::kill(holder, SIGKILL);
  EXPECT_EQ(reap(holder), -SIGKILL);
  ::shm_unlink(("/" + name).c_str());
}

// As a named kernel object disappears with its last handle: with no handle
// left, the next create finds the lock free.
TEST(NamedLock, AHolderKilledWithNoOtherHandleLeavesTheNextCreateFree) {
  const std::string name = uniqueName("killed");
  SharedFlags* flags = mapFlags();
  const pid_t holder = spawn([&] {
    dal::NamedLock lock(name.c_str());
    lock.lock();
    flags->childHolds = 1;
    ::pause();
    return 0;
  });
  ASSERT_TRUE(waitFor(flags->childHolds));
  ::kill(holder, SIGKILL);
  ASSERT_EQ(reap(holder), -SIGKILL);
  EXPECT_EQ(lockInChild(name, kGenerousSeconds), 0);
  ::shm_unlink(("/" + name).c_str());
}

// Words that no holder writes (the top two bits set, no process id) do
// not wedge the lock: a waiter takes it over at its next check.
TEST(NamedLock, WordsNoHolderWritesAreTakenOver) {
  const std::vector<std::uint32_t> words = {0xDEADBEEF, 0x00400000};
  std::vector<std::string> names;
  std::vector<std::unique_ptr<dal::NamedLock>> handles;  // no clearing: a handle lives
  std::vector<pid_t> waiters;
  waiters.reserve(words.size());
  for (std::uint32_t word : words) {
    names.push_back(uniqueName("word") + "-" + std::to_string(word));
    handles.push_back(std::make_unique<dal::NamedLock>(names.back().c_str()));
    ASSERT_TRUE(handles.back()->valid());
    writeWord(names.back(), word);
  }
  for (const std::string& name : names)  // side by side: each waits out one check
    waiters.push_back(spawn(
        [&name] {
          dal::NamedLock lock(name.c_str());
          lock.lock();
          return 0;
        },
        kTakeOverAlarm));
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(reap(waiters[i]), 0) << std::hex << words[i];
    ::shm_unlink(("/" + names[i]).c_str());
  }
}

// Garbage over the whole object, its table of namespaces too, may read
// as a holder that nobody can see: an unlock through any handle frees it
// at once, and with no handle left the next create clears it.
TEST(NamedLock, GarbageOverTheObjectIsFreedByAnUnlockAndClearedWithTheLastHandle) {
  const std::string name = uniqueName("garbage");
  {
    dal::NamedLock lock(name.c_str());
    ASSERT_TRUE(lock.valid());
    fillObject(name, 0x11);
    EXPECT_EQ(lockInChild(name, kBlockedFor), -SIGALRM);
    lock.unlock();  // any handle frees it
    EXPECT_EQ(lockInChild(name, kGenerousSeconds), 0);
    fillObject(name, 0x11);
  }
  EXPECT_EQ(lockInChild(name, kGenerousSeconds), 0);
  ::shm_unlink(("/" + name).c_str());
}

// A lock that cannot be opened for reading and writing is no lock: the
// handle would serialise nothing. Root ignores permission bits, so the
// private object is tried by a child that became nobody.
TEST(NamedLock, ObjectsThatCannotBeOpenedForReadingAndWritingAreRefused) {
  const std::string name = uniqueName("planted");
  const std::string path = objectPath(name);
  const std::string target = path + "-target";
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
  EXPECT_FALSE(dal::NamedLock(name.c_str()).valid());
  EXPECT_NE(::access(target.c_str(), F_OK), 0) << "the link was followed";

  testlog::clear();
  NORV_DAL_MUTEX* const untouched = reinterpret_cast<NORV_DAL_MUTEX*>(0x1);
  NORV_DAL_MUTEX* handle = untouched;
  EXPECT_EQ(dal::DalCreateMutex(name.c_str(), &handle), NORV_DAL_ERR_CREATE_SYNC);
  EXPECT_EQ(handle, untouched);
  EXPECT_EQ(testlog::texts(), std::vector<std::string>{"******>create lock"});
  ASSERT_EQ(::unlink(path.c_str()), 0);

  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
  EXPECT_FALSE(dal::NamedLock(name.c_str()).valid());
  ASSERT_EQ(::rmdir(path.c_str()), 0);

  ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0);
  EXPECT_EQ(reap(spawn([&] { return dal::NamedLock(name.c_str()).valid() ? 1 : 0; }, 5)), 0);
  ASSERT_EQ(::unlink(path.c_str()), 0);

  const passwd* nobody = ::getpwnam("nobody");
  if (::geteuid() != 0 || nobody == nullptr) return;
  const int fd = ::shm_open(("/" + name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_EQ(reap(spawn([&] {
              if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) return 2;
              return dal::NamedLock(name.c_str()).valid() ? 1 : 0;
            })),
            0);
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

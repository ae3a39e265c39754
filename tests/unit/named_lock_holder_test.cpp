// The machine-wide lock knows its holder: a waiter takes over the lock of
// a holder that has gone, while other handles live, and waits for every
// holder that may still unlock. Every test uses a lock of its own name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "device/named_lock.h"
#include "support/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC: one clock for every process
using testproc::reap;
using testproc::spawn;

constexpr unsigned kGenerousSeconds = 30;
constexpr auto kTakeOverBound = std::chrono::seconds(2);
constexpr auto kSlowHolder = std::chrono::seconds(3);
constexpr int kNoNamespace = 77;  // exit code: no new pid namespace could be made

std::string uniqueName(const std::string& what) {
  return "NorvDalTest-" + what + "-" + std::to_string(::getpid());
}

// What the test and its children tell each other.
struct Board {
  std::atomic<int> handles{0};  // processes with a handle open
  std::atomic<int> holding{0};
  std::atomic<int> waiting{0};
  std::atomic<int> released{0};  // bits: which holders unlocked
  std::atomic<std::int64_t> killedAt{0};
  std::atomic<std::int64_t> gotAt{0};
};

Board* mapBoard() {
  void* mem =
      ::mmap(nullptr, sizeof(Board), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  return new (mem) Board;
}

std::int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

bool waitUntil(const std::function<bool()>& ready) {
  const auto until = Clock::now() + std::chrono::seconds(kGenerousSeconds);
  while (!ready()) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// 0 when a new handle in a child gets the lock; -SIGALRM when it is still
// waiting after `limit`.
int lockInChild(const std::string& name, std::chrono::milliseconds limit) {
  return reap(spawn([&name, limit] {
    itimerval timer{};
    timer.it_value.tv_sec = static_cast<time_t>(limit.count() / 1000);
    timer.it_value.tv_usec = static_cast<suseconds_t>(limit.count() % 1000 * 1000);
    ::setitimer(ITIMER_REAL, &timer, nullptr);
    dal::NamedLock lock(name.c_str());
    lock.lock();
    return 0;
  }));
}

// A process that keeps a handle open until it is killed, so that the lock
// is never cleared as one with no handle left.
pid_t keepHandle(const std::string& name, Board* board) {
  return spawn([&name, board] {
    dal::NamedLock lock(name.c_str());
    ++board->handles;
    ::pause();
    return 0;
  });
}

// Takes the lock and holds it until killed.
pid_t holdForever(const std::string& name, Board* board) {
  return spawn([&name, board] {
    dal::NamedLock lock(name.c_str());
    lock.lock();
    ++board->holding;
    ::pause();
    return 0;
  });
}

TEST(NamedLockHolder, AKilledHolderIsTakenOverWhileOtherHandlesLive) {
  const std::string name = uniqueName("killed");
  Board* board = mapBoard();
  const std::vector<pid_t> keepers = {keepHandle(name, board), keepHandle(name, board)};
  ASSERT_TRUE(waitUntil([&] { return board->handles == 2; }));
  const pid_t holder = holdForever(name, board);
  ASSERT_TRUE(waitUntil([&] { return board->holding == 1; }));
  const pid_t waiter = spawn(
      [&] {
        dal::NamedLock lock(name.c_str());
        ++board->waiting;
        lock.lock();
        board->gotAt = nowNs();
        return board->killedAt == 0 ? 1 : 0;  // 1: robbed the live holder
      },
      10);
  ASSERT_TRUE(waitUntil([&] { return board->waiting == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // well into its wait
  board->killedAt = nowNs();
  ::kill(holder, SIGKILL);
  // The holder stays a zombie, not yet reaped, until the waiter is done.
  EXPECT_EQ(reap(waiter), 0);
  EXPECT_LE(board->gotAt - board->killedAt, std::chrono::nanoseconds(kTakeOverBound).count());
  EXPECT_EQ(reap(holder), -SIGKILL);
  for (pid_t keeper : keepers) {
    ::kill(keeper, SIGKILL);
    reap(keeper);
  }
  ::shm_unlink(("/" + name).c_str());
}

// Side by side, each on a lock of its own: a holder that is slow, one that
// is stopped, and an older build's 1 in the word (the holder process 1,
// which never exits). None is taken over while waiters check it two or three
// times; each hands over when it unlocks.
TEST(NamedLockHolder, HoldersThatMayStillUnlockAreWaitedFor) {
  const std::string slow = uniqueName("slow"), stopped = uniqueName("stopped");
  const std::string older = uniqueName("older");
  Board* board = mapBoard();
  auto holdThenRelease = [board](const std::string& name, int bit, bool stop) {
    return spawn([&name, board, bit, stop] {
      dal::NamedLock lock(name.c_str());
      lock.lock();
      ++board->holding;
      if (stop)
        ::raise(SIGSTOP);
      else
        std::this_thread::sleep_for(kSlowHolder);
      board->released |= bit;
      lock.unlock();
      return 0;
    });
  };
  auto waitFor = [board](const std::string& name, int bit) {
    return spawn([&name, board, bit] {
      dal::NamedLock lock(name.c_str());
      lock.lock();
      return (board->released & bit) != 0 ? 0 : 1;  // 1: robbed
    });
  };
  const pid_t slowHolder = holdThenRelease(slow, 1, false);
  const pid_t stoppedHolder = holdThenRelease(stopped, 2, true);
  ASSERT_TRUE(waitUntil([&] { return board->holding == 2; }));
  dal::NamedLock olderHandle(older.c_str());
  olderHandle.lock();
  // An older build's 1 over the futex word: the rest of the state keeps
  // what this build's holder wrote, as when an older build frees a lock
  // by clearing that word alone and takes it again.
  const std::uint32_t olderWord = 1;
  const int fd = ::open(("/dev/shm/" + older).c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, &olderWord, sizeof olderWord, 0), 4);
  ::close(fd);
  const pid_t slowWaiter = waitFor(slow, 1), stoppedWaiter = waitFor(stopped, 2);
  const pid_t olderWaiter = waitFor(older, 4);
  std::this_thread::sleep_for(kSlowHolder);
  board->released |= 4;
  olderHandle.unlock();
  ::kill(stoppedHolder, SIGCONT);
  EXPECT_EQ(reap(slowWaiter), 0) << "a slow holder was robbed";
  EXPECT_EQ(reap(stoppedWaiter), 0) << "a stopped holder was robbed";
  EXPECT_EQ(reap(olderWaiter), 0) << "an older build's holder was robbed";
  EXPECT_EQ(reap(slowHolder), 0);
  EXPECT_EQ(reap(stoppedHolder), 0);
  for (const std::string* name : {&slow, &stopped, &older}) ::shm_unlink(("/" + *name).c_str());
}

// Runs `body` as process 1 of a new pid namespace with a /proc of its own;
// its result, or kNoNamespace when this machine does not allow that.
int inNewPidNamespace(const std::function<int()>& body) {
  return reap(spawn([&body] {
    if (::unshare(CLONE_NEWPID | CLONE_NEWNS) != 0) return kNoNamespace;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return kNoNamespace;
    const pid_t init = ::fork();
    if (init == 0) {
      if (::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0)
        ::_exit(kNoNamespace);
      ::_exit(body());
    }
    return reap(init);
  }));
}

// The next process made in this pid namespace gets `pid`.
bool nextPidWillBe(pid_t pid) {
  std::ofstream last("/proc/sys/kernel/ns_last_pid");
  last << pid - 1;
  last.close();
  return static_cast<bool>(last);
}

// In a pid namespace of the test's own, where ids are handed out in order:
// a holder dies and its id goes to another process, which runs on. A
// waiter outside that namespace cannot see the holder and never takes
// over; one inside takes over, the reused id notwithstanding.
TEST(NamedLockHolder, AReusedIdDoesNotKeepADeadHoldersLock) {
  const std::string name = uniqueName("reused");
  Board* board = mapBoard();
  dal::NamedLock outside(name.c_str());  // a handle lives throughout
  ASSERT_TRUE(outside.valid());
  const pid_t inner = spawn([&] {
    return inNewPidNamespace([&] {
      const pid_t holder = holdForever(name, board);
      if (!waitUntil([&] { return board->holding == 1; })) return 1;
      ::kill(holder, SIGKILL);
      reap(holder);
      ++board->waiting;  // the outside waiter's turn
      if (!waitUntil([&] { return board->released == 1; })) return 2;
      // Start times count hundredths of a second: the new process starts
      // in a later one, as any process that gets a reused id does.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (!nextPidWillBe(holder)) return kNoNamespace;
      const pid_t reuse = spawn([] { return ::pause(); });
      const int got = lockInChild(name, std::chrono::seconds(10));
      ::kill(reuse, SIGKILL);
      reap(reuse);
      return reuse != holder ? 3 : got == 0 ? 0 : 4;
    });
  });
  int innerStatus = 0;
  bool innerEnded = false;
  ASSERT_TRUE(waitUntil([&] {
    innerEnded = innerEnded || ::waitpid(inner, &innerStatus, WNOHANG) == inner;
    return innerEnded || board->waiting == 1;
  }));
  if (!innerEnded) {
    EXPECT_EQ(lockInChild(name, std::chrono::milliseconds(1500)), -SIGALRM)
        << "a holder in another namespace was taken over";
    board->released = 1;
    ASSERT_EQ(::waitpid(inner, &innerStatus, 0), inner);
  }
  ::shm_unlink(("/" + name).c_str());
  ASSERT_TRUE(WIFEXITED(innerStatus));
  if (WEXITSTATUS(innerStatus) == kNoNamespace) GTEST_SKIP() << "no new pid namespace allowed here";
  EXPECT_EQ(WEXITSTATUS(innerStatus), 0)
      << "1, 2: a step timed out; 3: the id was not reused; 4: not taken over";
}

}  // namespace

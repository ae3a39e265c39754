// Several processes share one emulated token through the real device
// library. With the named lock around each read-modify-write, no update is
// lost and no key-pair slot is handed out twice; without it, updates are
// lost. A holder that dies is taken over by the processes waiting for it,
// while other handles live, and no counted update is lost.
//
// Every use of the library happens in a forked child: the parent never
// opens the token, so no child inherits the parent's token lock. The lock
// has a name of its own per run, so that killing its holder never
// disturbs programs that share the machine-wide one.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "device/mutex_create.h"
#include "norv_dal_tkp30.h"
#include "support/child_process.h"
#include "support/rsa_test_keys.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kSuper = {'1', '1', '2', '2', '3', '3', '4', '4'};
const Bytes kUser = {'6', '5', '4', '3', '2', '1'};
constexpr int kWorkers = 4;
constexpr std::int32_t kCounterType = 1, kCounterIndex = 1;
constexpr int kKeySlots = 4;  // key-pair slots that formatting creates

std::int32_t len(const Bytes& b) { return static_cast<std::int32_t>(b.size()); }

// This run's lock, named before any child is forked.
std::string& lockName() {
  static std::string name;
  return name;
}

NORV_DAL_MUTEX* createLock() {
  NORV_DAL_MUTEX* m = nullptr;
  return dal::DalCreateMutex(lockName().c_str(), &m) == NORV_DAL_OK ? m : nullptr;
}

// A one-way pipe from the children to the parent.
struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() { EXPECT_EQ(::pipe(fd), 0); }
  ~Pipe() {
    for (int f : fd)
      if (f >= 0) ::close(f);
  }
  void send(std::int32_t v) const { (void)!::write(fd[1], &v, sizeof v); }
  void closeWriter() {
    ::close(fd[1]);
    fd[1] = -1;
  }
  // The next value, or nullopt when none arrives within `ms`.
  std::optional<std::int32_t> receive(int ms) const {
    pollfd p{fd[0], POLLIN, 0};
    if (::poll(&p, 1, ms) != 1) return std::nullopt;
    std::int32_t v = 0;
    if (::read(fd[0], &v, sizeof v) != static_cast<ssize_t>(sizeof v)) return std::nullopt;
    return v;
  }
};

using testproc::reap;
using testproc::spawn;

class LockStress : public ::testing::Test {
 protected:
  void SetUp() override {
    // The token syncs every write to disk; in memory when the machine offers it.
    std::string root = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "";
    if (root.empty()) {
      const char* tmp = std::getenv("TKP30_TEST_TMP");
      root = tmp && *tmp ? tmp : "/tmp";
    }
    std::string pattern = root + "/stress-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    ::setenv("TKP30_SLOTS", ("emu:" + dir_ + "/token.img").c_str(), 1);
    lockName() = "NorvDalStress-" + std::to_string(::getpid());
  }
  void TearDown() override {
    ::shm_unlink(("/" + lockName()).c_str());
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // A formatted token, logged in, with a 4-byte counter at zero.
  void prepare() {
    const int rc = reap(spawn([] {
      const Bytes zero(4, 0);
      if (NORV_DAL_FormatDevice(kSuper.data(), len(kSuper), kUser.data(), len(kUser)) != 0)
        return 1;
      if (NORV_DAL_Login(NORV_DAL_LOGIN_USER, kUser.data(), len(kUser)) != 0) return 2;
      if (NORV_DAL_CreateUsrDataFile(kCounterType, kCounterIndex, 4, 1, 1) != 0) return 3;
      return NORV_DAL_WriteUsrDataFile(kCounterType, kCounterIndex, 0, 4, zero.data()) == 0 ? 0 : 4;
    }));
    ASSERT_EQ(rc, 0) << "preparing the token";
  }

  std::int32_t counter() {
    Pipe pipe;
    const int rc = reap(spawn([&pipe] {
      std::int32_t v = 0;
      if (NORV_DAL_ReadUsrDataFile(kCounterType, kCounterIndex, 0, 4,
                                   reinterpret_cast<std::uint8_t*>(&v)) != 0)
        return 1;
      pipe.send(v);
      return 0;
    }));
    EXPECT_EQ(rc, 0);
    return pipe.receive(0).value_or(-1);
  }

  std::string dir_;
};

struct ImportKey {
  Bytes n, p, q, dp, dq, qinv;
};
ImportKey makeImportKey() {
  auto key = rsatest::generate(1024);
  return {rsatest::modulus(key.get()),
          rsatest::param(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR1, 64),
          rsatest::param(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR2, 64),
          rsatest::param(key.get(), OSSL_PKEY_PARAM_RSA_EXPONENT1, 64),
          rsatest::param(key.get(), OSSL_PKEY_PARAM_RSA_EXPONENT2, 64),
          rsatest::param(key.get(), OSSL_PKEY_PARAM_RSA_COEFFICIENT1, 64)};
}

struct WorkerPlan {
  int iterations;
  bool useLock;
  std::chrono::microseconds window{0};     // between the read and the write
  const ImportKey* key = nullptr;          // null: no key pairs
  const Pipe* slots = nullptr;             // receives the public-key ids handed out
  const Pipe* done = nullptr;              // receives a word per counted update
  int dieAt = -1;                          // the iteration whose holder kills itself
  const Pipe* ready = nullptr;             // receives a word once the handle is open
  const std::atomic<int>* stop = nullptr;  // ends the run between iterations once set
};

std::int32_t newKeyPair(int iteration, const ImportKey& k, std::int32_t& pub) {
  std::int32_t pri = 0;
  if (iteration % 2 == 0) return NORV_DAL_GenRsaKeyPair(1024, &pub, &pri);
  return NORV_DAL_ImportRsaKeyPair(0, k.n.data(), 0, k.p.data(), k.q.data(), k.dp.data(),
                                   k.dq.data(), k.qinv.data(), &pub, &pri);
}

// One iteration's critical section; 0 or the step that failed.
int iterate(const WorkerPlan& plan, int i, bool& slotsRemain) {
  std::int32_t value = 0;  // in host order: only these processes read it
  if (NORV_DAL_ReadUsrDataFile(kCounterType, kCounterIndex, 0, 4,
                               reinterpret_cast<std::uint8_t*>(&value)) != 0)
    return 10;
  if (plan.window.count() > 0) std::this_thread::sleep_for(plan.window);
  if (i == plan.dieAt) ::raise(SIGKILL);  // holding the lock, with the update half done
  ++value;
  if (NORV_DAL_WriteUsrDataFile(kCounterType, kCounterIndex, 0, 4,
                                reinterpret_cast<const std::uint8_t*>(&value)) != 0)
    return 11;
  if (plan.done != nullptr) plan.done->send(1);
  if (!slotsRemain) return 0;
  std::int32_t pub = 0;
  const std::int32_t rc = newKeyPair(i, *plan.key, pub);
  if (rc == NORV_DAL_ERR_CREATE_FILE) {
    slotsRemain = false;  // the token has no further slot
  } else if (rc != 0) {
    return 12;
  } else {
    plan.slots->send(pub);
  }
  return 0;
}

int work(const WorkerPlan& plan) {
  NORV_DAL_MUTEX* mutex = createLock();
  if (mutex == nullptr) return 2;
  if (plan.ready != nullptr) plan.ready->send(1);
  bool slotsRemain = plan.key != nullptr;
  int failed = 0;
  auto stopped = [&plan] { return plan.stop != nullptr && plan.stop->load() != 0; };
  for (int i = 0; i < plan.iterations && failed == 0 && !stopped(); ++i) {
    if (plan.useLock) NORV_DAL_LockMutex(mutex);
    failed = iterate(plan, i, slotsRemain);
    if (plan.useLock) NORV_DAL_UnLockMutex(mutex);
  }
  NORV_DAL_DestroyMutex(mutex);
  return failed;
}

std::vector<pid_t> startWorkers(const WorkerPlan& plan, int count = kWorkers) {
  std::vector<pid_t> pids;
  for (int w = 0; w < count; ++w) pids.push_back(spawn([&plan] { return work(plan); }));
  return pids;
}

std::vector<int> runWorkers(const WorkerPlan& plan) {
  std::vector<int> codes;
  for (pid_t pid : startWorkers(plan)) codes.push_back(reap(pid));
  return codes;
}

// Counts the words waiting in the pipe.
int drain(const Pipe& pipe) {
  int n = 0;
  while (pipe.receive(0)) ++n;
  return n;
}

TEST_F(LockStress, TheLockKeepsEveryUpdateAndEverySlotUnique) {
  prepare();
  const ImportKey key = makeImportKey();
  Pipe slots;
  const WorkerPlan plan{200, true, std::chrono::microseconds(0), &key, &slots};
  EXPECT_EQ(runWorkers(plan), std::vector<int>(kWorkers, 0));
  slots.closeWriter();
  std::vector<std::int32_t> handedOut;
  while (auto id = slots.receive(0)) handedOut.push_back(*id);
  const std::set<std::int32_t> unique(handedOut.begin(), handedOut.end());
  EXPECT_EQ(unique.size(), handedOut.size()) << "a key-pair slot was handed out twice";
  EXPECT_EQ(handedOut.size(), static_cast<std::size_t>(kKeySlots));
  EXPECT_EQ(counter(), kWorkers * plan.iterations);
}

TEST_F(LockStress, WithoutTheLockUpdatesAreLost) {
  prepare();
  // The window between read and write makes interleaving near certain.
  const WorkerPlan plan{40, false, std::chrono::milliseconds(2)};
  EXPECT_EQ(runWorkers(plan), std::vector<int>(kWorkers, 0));
  EXPECT_LT(counter(), kWorkers * plan.iterations);
}

TEST_F(LockStress, AHolderThatDiesIsTakenOverWhileAnotherHandleLives) {
  Pipe events;
  constexpr std::int32_t kHolding = 1, kWaiting = 2, kGot = 3, kKeeping = 4;
  // A third process keeps a handle open throughout.
  const pid_t keeper = spawn([&events] {
    NORV_DAL_MUTEX* m = createLock();
    events.send(kKeeping);
    ::pause();
    return m != nullptr ? 0 : 1;
  });
  ASSERT_EQ(events.receive(30000), kKeeping);
  const pid_t holder = spawn([&events] {
    NORV_DAL_MUTEX* m = createLock();
    NORV_DAL_LockMutex(m);
    events.send(kHolding);
    ::pause();
    return 0;
  });
  ASSERT_EQ(events.receive(30000), kHolding);
  ::kill(holder, SIGKILL);
  EXPECT_EQ(reap(holder), -SIGKILL);

  const pid_t waiter = spawn(
      [&events] {
        NORV_DAL_MUTEX* m = createLock();
        events.send(kWaiting);
        NORV_DAL_LockMutex(m);
        events.send(kGot);
        NORV_DAL_UnLockMutex(m);
        NORV_DAL_DestroyMutex(m);
        return 0;
      },
      30);
  ASSERT_EQ(events.receive(30000), kWaiting);
  // Taken over at the waiter's first check, a second into its wait.
  EXPECT_EQ(events.receive(30000), kGot) << "the lock of a dead holder was not taken over";
  EXPECT_EQ(reap(waiter), 0);
  ::kill(keeper, SIGKILL);
  reap(keeper);
}

// A worker killed inside its critical section, half-way through an
// update, stalls the others only until they take its lock over; they go
// on counting, and every update counted is in the counter.
TEST_F(LockStress, AHolderKilledMidRunIsTakenOverAndNoUpdateIsLost) {
  prepare();
  Pipe done, ready;
  void* mem = ::mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                     MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mem, MAP_FAILED);
  auto* stop = new (mem) std::atomic<int>(0);
  // The others run until told to stop, their handles open before the
  // victim starts.
  const WorkerPlan others{1 << 30, true, std::chrono::microseconds(0), nullptr, nullptr, &done, -1,
                          &ready,  stop};
  const WorkerPlan victim{100, true, std::chrono::microseconds(0), nullptr, nullptr, &done, 20};
  const std::vector<pid_t> running = startWorkers(others, kWorkers - 1);
  for (int w = 0; w < kWorkers - 1; ++w) ASSERT_EQ(ready.receive(30000), 1);
  const pid_t dying = startWorkers(victim, 1).front();
  ASSERT_EQ(reap(dying), -SIGKILL);
  int counted = drain(done);
  const std::optional<std::int32_t> after = done.receive(30000);
  EXPECT_NE(after, std::nullopt) << "the others stalled behind a dead holder";
  counted += after.has_value() ? 1 : 0;
  stop->store(1);
  for (pid_t pid : running) EXPECT_EQ(reap(pid), 0);
  counted += drain(done);

  const WorkerPlan fresh{50, true, std::chrono::microseconds(0), nullptr, nullptr, &done};
  EXPECT_EQ(runWorkers(fresh), std::vector<int>(kWorkers, 0));
  counted += drain(done);
  EXPECT_GE(counted, victim.dieAt + kWorkers * fresh.iterations);
  EXPECT_EQ(counter(), counted);
  ::munmap(mem, sizeof(std::atomic<int>));
}

}  // namespace

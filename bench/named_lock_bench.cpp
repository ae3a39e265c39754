// The machine-wide lock's own cost, on locks of this run's own names:
// - NamedLockPair: a lock and an unlock of a free lock, as every caller
//   pays them around each operation;
// - NamedLockHandOver: the lock passed from this process to a child and
//   back, through two locks used as signals (each process unlocks what
//   the other waits for); one iteration is two hand-overs, and the
//   counter "handover" is the time of one, in seconds.
// Only the internal NamedLock is used, so that the same file measures any
// build of the library.
#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "device/named_lock.h"

namespace {

std::string benchName(const char* what) {
  return std::string("NorvDalBench-") + what + "-" + std::to_string(::getpid());
}

void forget(const std::string& name) { ::shm_unlink(("/" + name).c_str()); }

void NamedLockPair(benchmark::State& state) {
  const std::string name = benchName("pair");
  {
    dal::NamedLock lock(name.c_str());
    if (!lock.valid()) {
      state.SkipWithError("the lock did not open");
      forget(name);
      return;
    }
    for (auto _ : state) {
      lock.lock();
      lock.unlock();
    }
  }
  forget(name);
}
BENCHMARK(NamedLockPair);

// The child's half of the ping-pong: waits on `ping`, answers on `pong`,
// until the parent raises `stop`.
[[noreturn]] void answer(const std::string& ping, const std::string& pong,
                         const std::atomic<int>* stop) {
  dal::NamedLock in(ping.c_str());
  dal::NamedLock out(pong.c_str());
  for (;;) {
    in.lock();
    if (stop->load() != 0) ::_exit(0);
    out.unlock();
  }
}

void NamedLockHandOver(benchmark::State& state) {
  const std::string ping = benchName("ping"), pong = benchName("pong");
  void* mem = ::mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                     MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  auto* stop = new (mem) std::atomic<int>(0);
  {
    dal::NamedLock toChild(ping.c_str());
    dal::NamedLock fromChild(pong.c_str());
    toChild.lock();  // both start taken: each unlock is a signal
    fromChild.lock();
    const pid_t child = ::fork();
    if (child == 0) answer(ping, pong, stop);
    for (auto _ : state) {
      toChild.unlock();
      fromChild.lock();
    }
    stop->store(1);
    toChild.unlock();
    ::waitpid(child, nullptr, 0);
  }
  ::munmap(mem, sizeof(std::atomic<int>));
  forget(ping);
  forget(pong);
  state.counters["handover"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 2,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::OneK::kIs1000);
}
BENCHMARK(NamedLockHandOver)->UseRealTime();

}  // namespace

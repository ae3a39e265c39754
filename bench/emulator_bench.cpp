// Emulated token throughput: commands through the device library
// (APDU_UK on a slot configured as emu:, with the token's lock, shared
// state and durable image) against the bare
// card function, and persistent commands against one atomic replace of an
// image file. Each benchmark reports its ratio to a baseline measured in
// the same run. Temporary tokens go to $TKP30_BENCH_TMP (default /var/tmp).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dmcos.h"
#include "tkp30emu/card.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kKey(16, 0x5A);

Bytes cmd(std::initializer_list<std::uint8_t> head, const Bytes& data = {}) {
  Bytes b(head);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// The layout the benchmarks need: an MF and one 8 KiB free file.
const std::vector<Bytes>& setupCommands() {
  static const std::vector<Bytes> c = {
      cmd({0x80, 0xE0, 0x00, 0x00, 0x0F, 0x08, 0x5A, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
           0xFF, 0xFF, 0xFF, 0xFF, 0x4D, 0x46}),
      cmd({0x80, 0xE0, 0x02, 0x00, 0x09, 0x21, 0x01, 0x02, 0x20, 0x00, 0xF0, 0xF0, 0x0F, 0x0F}),
      cmd({0x00, 0xA4, 0x02, 0x00, 0x02, 0x01, 0x02}),
      cmd({0x80, 0xC2, 0x40, 0x08, 0x10}, kKey),
  };
  return c;
}

struct TempToken {
  std::string dir;
  std::string image;
  TempToken() {
    const char* base = std::getenv("TKP30_BENCH_TMP");
    std::string t = std::string(base && *base ? base : "/var/tmp") + "/emubench.XXXXXX";
    if (!mkdtemp(t.data())) std::abort();
    dir = t;
    image = dir + "/token.img";
  }
  ~TempToken() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

template <class F>
double nanosPerCall(int n, F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) f(i);
  const auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::nano>(t1 - t0).count() / n;
}

// The bare card function: no lock, no shared state, no I/O.
double rawCardNanos(const Bytes& command, bool alternate) {
  tkp30emu::Persistent p;
  tkp30emu::Volatile v;
  for (const auto& c : setupCommands()) tkp30emu::runCommand(p, v, c);
  Bytes c = command;
  return nanosPerCall(20000, [&](int i) {
    if (alternate) c.back() = static_cast<std::uint8_t>(i);
    benchmark::DoNotOptimize(tkp30emu::runCommand(p, v, c));
  });
}

// One atomic replace of an 8 KiB file: write, fsync, rename, fsync of the
// directory.
double atomicReplaceNanos(const std::string& dir) {
  const Bytes image(8192, 0xA5);
  const std::string path = dir + "/baseline.img", tmp = path + ".tmp";
  const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  const double ns = nanosPerCall(200, [&](int) {
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (write(fd, image.data(), image.size()) != static_cast<ssize_t>(image.size())) std::abort();
    fsync(fd);
    close(fd);
    rename(tmp.c_str(), path.c_str());
    fsync(dfd);
  });
  close(dfd);
  return ns;
}

// One token for the whole run, in slot 1 of the device library.
const TempToken& slotToken() {
  static const TempToken token = [] {
    TempToken t;
    setenv("TKP30_SLOTS", ("emu:" + t.image).c_str(), 1);
    return t;
  }();
  return token;
}

bool send(const Bytes& command, int& sw) {
  unsigned char resp[2 + DMCOS_MAX_RESPONSE];
  return APDU_UK(1, command.data(), static_cast<int>(command.size()), resp, sizeof resp, &sw) != 0;
}

void throughBackend(benchmark::State& state, const Bytes& command, bool persistent) {
  const TempToken& token = slotToken();
  if (!Open_UK(1)) {
    state.SkipWithError("slot emu: did not open");
    return;
  }
  int sw = 0;
  for (const auto& c : setupCommands()) send(c, sw);  // refusals of a second run are fine
  Bytes c = command;
  std::uint8_t i = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (persistent) c.back() = ++i;  // a real change each time
    if (!send(c, sw) || sw != 0x9000) {
      state.SkipWithError("command refused");
      break;
    }
  }
  const auto t1 = std::chrono::steady_clock::now();
  const double ns = std::chrono::duration<double, std::nano>(t1 - t0).count() /
                    static_cast<double>(std::max<std::int64_t>(state.iterations(), 1));
  state.counters["us_per_cmd"] = ns / 1000.0;
  state.counters["cmds_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
  const double raw = rawCardNanos(command, persistent);
  state.counters["raw_card_us"] = raw / 1000.0;
  state.counters["ratio_vs_raw_card"] = ns / raw;
  if (persistent) {
    const double base = atomicReplaceNanos(token.dir);
    state.counters["atomic_replace_us"] = base / 1000.0;
    state.counters["ratio_vs_atomic_replace"] = ns / base;
  }
}

void BM_EmuGetChallenge(benchmark::State& state) {
  throughBackend(state, {0x00, 0x84, 0x00, 0x00, 0x08}, false);
}
void BM_EmuSsf33CipherBlock(benchmark::State& state) {
  throughBackend(state, cmd({0x80, 0xC4, 0x00, 0x00, 0x10}, Bytes(16, 0x11)), false);
}
void BM_EmuUpdateBinary(benchmark::State& state) {
  throughBackend(state, cmd({0x00, 0xD6, 0x00, 0x00, 0x80}, Bytes(128, 0x22)), true);
}
BENCHMARK(BM_EmuGetChallenge);
BENCHMARK(BM_EmuSsf33CipherBlock);
BENCHMARK(BM_EmuUpdateBinary)->Unit(benchmark::kMillisecond);

}  // namespace

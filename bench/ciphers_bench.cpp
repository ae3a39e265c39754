// Software cipher throughput through the exported update calls, each
// timed beside the raw libcrypto call on the same buffer in the same
// iteration; the counter "vs_libcrypto" is the library's throughput as a
// fraction of libcrypto's (1.0 = no overhead). SSF33 is measured in
// blocks per second through an emulated token, beside the bare device
// library command ("vs_apdu"). Temporary tokens go to $TKP30_BENCH_TMP
// (default /var/tmp).
#define OPENSSL_SUPPRESS_DEPRECATED
#include <benchmark/benchmark.h>
#include <openssl/des.h>
#include <openssl/rc2.h>
#include <openssl/rc4.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dmcos.h"
#include "norv_dal_tkp30.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

const Bytes kKey24 = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                      13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
const Bytes kIv(16, 0x42);

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Short messages are timed in batches of about 64 KiB so that the clock's
// own cost does not dominate.
constexpr std::size_t kBatchBytes = 65536;
std::size_t batchFor(std::size_t size) { return size >= kBatchBytes ? 1 : kBatchBytes / size; }

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), mid, values.end());
  return *mid;
}

// Times `batch` raw calls and `batch` library calls per iteration, in
// alternating order so that neither always finds the buffer warm. The
// ratio is the median of the iterations' ratios: a preemption on a shared
// machine spoils one iteration, not the figure.
template <typename Raw, typename Dal>
void compare(benchmark::State& state, std::size_t size, Raw raw, Dal dal) {
  const std::size_t batch = batchFor(size);
  std::vector<double> ratios;
  bool rawFirst = true;
  for (auto _ : state) {
    double rawTime = 0, dalTime = 0;
    for (int pass = 0; pass < 2; ++pass) {
      const bool runRaw = (pass == 0) == rawFirst;
      const auto t0 = Clock::now();
      for (std::size_t i = 0; i < batch; ++i) runRaw ? raw() : dal();
      (runRaw ? rawTime : dalTime) = seconds(Clock::now() - t0);
    }
    rawFirst = !rawFirst;
    if (dalTime > 0) ratios.push_back(rawTime / dalTime);
    state.SetIterationTime(dalTime);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(batch * size));
  state.counters["vs_libcrypto"] = median(std::move(ratios));
}

struct Buffers {
  Bytes in, out;
  explicit Buffers(std::size_t size) : in(size, 0x5C), out(size) {}
};

DES_key_schedule schedule(std::size_t at) {
  DES_cblock k;
  std::copy_n(kKey24.begin() + static_cast<std::ptrdiff_t>(at), 8, k);
  DES_key_schedule ks;
  DES_set_key_unchecked(&k, &ks);
  return ks;
}

void BM_DesCbc(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  Buffers b(size);
  DesCtx* ctx = nullptr;
  NORV_DAL_DesAcquireContext(kKey24.data(), 8, kIv.data(), 2, 1, &ctx);
  DES_key_schedule ks = schedule(0);
  DES_cblock iv = {};
  uint32_t n = 0;
  compare(
      state, size,
      [&] {
        DES_ncbc_encrypt(b.in.data(), b.out.data(), static_cast<long>(size), &ks, &iv, DES_ENCRYPT);
      },
      [&] {
        NORV_DAL_DesEncUpdate(ctx, b.in.data(), static_cast<uint32_t>(size), b.out.data(), &n);
      });
  NORV_DAL_DesReleaseCtx(ctx);
}

void BM_TripleDesCbc(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  Buffers b(size);
  DesCtx* ctx = nullptr;
  NORV_DAL_DesAcquireContext(kKey24.data(), 24, kIv.data(), 2, 1, &ctx);
  DES_key_schedule k1 = schedule(0), k2 = schedule(8), k3 = schedule(16);
  DES_cblock iv = {};
  uint32_t n = 0;
  compare(
      state, size,
      [&] {
        DES_ede3_cbc_encrypt(b.in.data(), b.out.data(), static_cast<long>(size), &k1, &k2, &k3, &iv,
                             DES_ENCRYPT);
      },
      [&] {
        NORV_DAL_DesEncUpdate(ctx, b.in.data(), static_cast<uint32_t>(size), b.out.data(), &n);
      });
  NORV_DAL_DesReleaseCtx(ctx);
}

void BM_DesEcb(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  Buffers b(size);
  DesCtx* ctx = nullptr;
  NORV_DAL_DesAcquireContext(kKey24.data(), 8, nullptr, 1, 1, &ctx);
  DES_key_schedule ks = schedule(0);
  uint32_t n = 0;
  compare(
      state, size,
      [&] {
        for (std::size_t at = 0; at < size; at += 8)
          DES_ecb_encrypt(reinterpret_cast<const_DES_cblock*>(b.in.data() + at),
                          reinterpret_cast<DES_cblock*>(b.out.data() + at), &ks, DES_ENCRYPT);
      },
      [&] {
        NORV_DAL_DesEncUpdate(ctx, b.in.data(), static_cast<uint32_t>(size), b.out.data(), &n);
      });
  NORV_DAL_DesReleaseCtx(ctx);
}

void BM_Rc2Cbc(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  Buffers b(size);
  Rc2Ctx* ctx = nullptr;
  NORV_DAL_Rc2AcquireContext(kKey24.data(), 16, kIv.data(), 2, 1, &ctx);
  RC2_KEY key;
  RC2_set_key(&key, 16, kKey24.data(), 128);
  unsigned char iv[8] = {};
  uint32_t n = 0;
  compare(
      state, size,
      [&] {
        RC2_cbc_encrypt(b.in.data(), b.out.data(), static_cast<long>(size), &key, iv, RC2_ENCRYPT);
      },
      [&] {
        NORV_DAL_Rc2EncUpdate(ctx, b.in.data(), static_cast<uint32_t>(size), b.out.data(), &n);
      });
  NORV_DAL_Rc2ReleaseCtx(ctx);
}

void BM_Rc4(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  Buffers b(size);
  Rc4Ctx* ctx = nullptr;
  NORV_DAL_Rc4AcquireContext(kKey24.data(), 16, nullptr, 0, 0, &ctx);
  RC4_KEY key;
  RC4_set_key(&key, 16, kKey24.data());
  uint32_t n = 0;
  compare(
      state, size, [&] { RC4(&key, size, b.in.data(), b.out.data()); },
      [&] { NORV_DAL_Rc4Update(ctx, b.in.data(), static_cast<uint32_t>(size), b.out.data(), &n); });
  NORV_DAL_Rc4ReleaseCtx(ctx);
}

// An emulated token in slot 1 for the SSF33 benchmark; the previous slot
// configuration is put back afterwards.
class EmulatedSlot {
 public:
  EmulatedSlot() {
    if (const char* old = std::getenv(kVariable)) saved_ = old;
    const char* base = std::getenv("TKP30_BENCH_TMP");
    std::string dir = std::string(base && *base ? base : "/var/tmp") + "/ssf33bench.XXXXXX";
    if (::mkdtemp(dir.data()) == nullptr) return;
    dir_ = dir;
    ::setenv(kVariable, ("emu:" + dir_ + "/token.img").c_str(), 1);
  }
  ~EmulatedSlot() {
    NORV_DAL_Finalize();
    if (saved_)
      ::setenv(kVariable, saved_->c_str(), 1);
    else
      ::unsetenv(kVariable);
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }
  bool ready() const { return !dir_.empty(); }

 private:
  static constexpr const char* kVariable = "TKP30_SLOTS";
  std::string dir_;
  std::optional<std::string> saved_;
};

void BM_Ssf33BlockThroughEmulatedToken(benchmark::State& state) {
  EmulatedSlot slot;
  SSF33Ctx* ctx = nullptr;
  if (!slot.ready() || NORV_DAL_SSF33AcquireContext(kKey24.data(), 16, nullptr, 1, 1, &ctx) != 0) {
    state.SkipWithError("no emulated token");
    return;
  }
  Bytes block(16, 0x33), out(16);
  Bytes command = {0x80, 0xC4, 0x00, 0x00, 0x10};
  command.insert(command.end(), block.begin(), block.end());
  unsigned char resp[2 + 256];
  uint32_t n = 0;
  int sw = 0;
  compare(
      state, 16,
      [&] { APDU_UK(1, command.data(), static_cast<int>(command.size()), resp, sizeof resp, &sw); },
      [&] { NORV_DAL_SSF33EncUpdate(ctx, block.data(), 16, out.data(), &n); });
  state.counters["vs_apdu"] = state.counters["vs_libcrypto"];
  state.counters.erase("vs_libcrypto");
  state.counters["blocks_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(batchFor(16)),
      benchmark::Counter::kIsRate);
  NORV_DAL_SSF33ReleaseCtx(ctx);
}

}  // namespace

#define CIPHER_SIZES ->Arg(16)->Arg(1024)->Arg(1 << 20)->UseManualTime()
BENCHMARK(BM_DesCbc) CIPHER_SIZES;
BENCHMARK(BM_TripleDesCbc) CIPHER_SIZES;
BENCHMARK(BM_DesEcb) CIPHER_SIZES;
BENCHMARK(BM_Rc2Cbc) CIPHER_SIZES;
BENCHMARK(BM_Rc4) CIPHER_SIZES;
BENCHMARK(BM_Ssf33BlockThroughEmulatedToken)->UseManualTime()->Iterations(5);

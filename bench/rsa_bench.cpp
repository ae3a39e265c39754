// Software RSA public-key operations. The exports keep the key objects of
// the last few moduli, so a caller checking many signatures with one key
// builds its object once: "Export" calls with one key (warm), "Cold" cycles
// through one key more than the cache keeps, so that every call builds its
// key afresh. The baseline, "Prebuilt", is the same libcrypto call on a key
// object built once. Export and Cold also report speed_vs_prebuilt: the
// baseline's CPU time per call over theirs, both measured in the same run.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <benchmark/benchmark.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <time.h>

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "keys/rsa_key_cache.h"
#include "keys/software_rsa.h"
#include "norv_dal_tkp30.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kColdKeys = dal::kSoftRsaKeys + 1;
constexpr int kBaselineCalls = 2000;
constexpr std::size_t kPkcs1Message = 32;

struct BenchKey {
  Bytes n;
  Bytes signature;  // a PKCS #1 type-1 block raised to d
  Bytes plain;      // a value below n for the raw operation
};

Bytes privateRaw(EVP_PKEY* key, const Bytes& block) {
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr), &EVP_PKEY_CTX_free);
  Bytes out(block.size());
  std::size_t outLen = out.size();
  if (!ctx || EVP_PKEY_decrypt_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING) != 1 ||
      EVP_PKEY_decrypt(ctx.get(), out.data(), &outLen, block.data(), block.size()) != 1) {
    throw std::runtime_error("private operation");
  }
  return out;
}

BenchKey makeKey(unsigned bits) {
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_RSA_gen(bits), &EVP_PKEY_free);
  BIGNUM* n = nullptr;
  if (!key || EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_RSA_N, &n) != 1) {
    throw std::runtime_error("key generation");
  }
  BenchKey k;
  k.n.resize(bits / 8);
  BN_bn2binpad(n, k.n.data(), static_cast<int>(k.n.size()));
  BN_free(n);
  Bytes block(k.n.size(), 0xFF);
  block[0] = 0x00;
  block[1] = 0x01;
  block[block.size() - 52] = 0x00;  // 51 bytes of data, as a SHA-256 signature carries
  k.signature = privateRaw(key.get(), block);
  k.plain = Bytes(k.n.size(), 0x5A);
  k.plain[0] = 0x00;
  return k;
}

// kColdKeys keys of one size, made on first use; the first serves the
// warm and the baseline runs.
const std::vector<BenchKey>& keysOf(std::int64_t bits) {
  static std::map<std::int64_t, std::vector<BenchKey>> keys;
  auto it = keys.find(bits);
  if (it == keys.end()) {
    std::vector<BenchKey> ring;
    for (std::size_t i = 0; i < kColdKeys; ++i)
      ring.push_back(makeKey(static_cast<unsigned>(bits)));
    it = keys.emplace(bits, std::move(ring)).first;
  }
  return it->second;
}

using Export = int32_t (*)(const uint8_t*, uint32_t, const uint8_t*, int32_t, uint8_t*, int32_t*);

// One operation as an export and as the bare libcrypto call.
struct Operation {
  Export exportCall;
  bool decrypt;
  int padding;
  bool signatureInput;
  std::size_t inLen;  // 0: the whole input

  const Bytes& input(const BenchKey& k) const { return signatureInput ? k.signature : k.plain; }
  int length(const BenchKey& k) const { return static_cast<int>(inLen ? inLen : input(k).size()); }
};

const Operation kRaw{&NORV_DAL_RsaPublicKeyRaw, false, RSA_NO_PADDING, false, 0};
const Operation kPkcs1Enc{&NORV_DAL_Pkcs1RsaPublicKeyEnc, false, RSA_PKCS1_PADDING, false,
                          kPkcs1Message};
const Operation kPkcs1Dec{&NORV_DAL_Pkcs1RsaPublicKeyDec, true, RSA_PKCS1_PADDING, true, 0};

double threadCpuNanos() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// The same libcrypto call as the export makes, on a key object built once.
bool prebuiltCall(const Operation& op, const BenchKey& k, RSA* rsa, Bytes& out) {
  const Bytes& in = op.input(k);
  const int rv = op.decrypt
                     ? RSA_public_decrypt(op.length(k), in.data(), out.data(), rsa, op.padding)
                     : RSA_public_encrypt(op.length(k), in.data(), out.data(), rsa, op.padding);
  return rv > 0;
}

double prebuiltCpuNanos(const Operation& op, const BenchKey& k) {
  const auto rsa = dal::RsaPublicKey::fromRecord(dal::makePublicKeyRecord(k.n));
  Bytes out(256);
  prebuiltCall(op, k, rsa->get(), out);  // the key object's first use is not timed
  const double start = threadCpuNanos();
  for (int i = 0; i < kBaselineCalls; ++i)
    benchmark::DoNotOptimize(prebuiltCall(op, k, rsa->get(), out));
  return (threadCpuNanos() - start) / kBaselineCalls;
}

// Calls the export with `keyCount` keys in turn and compares its CPU time
// per call with the prebuilt baseline's.
void runExport(benchmark::State& state, const Operation& op, std::size_t keyCount) {
  const std::vector<BenchKey>& keys = keysOf(state.range(0));
  Bytes out(256);
  int32_t outLen = 0;
  std::size_t next = 0;
  const double start = threadCpuNanos();
  for (auto _ : state) {
    const BenchKey& k = keys[next];
    next = (next + 1) % keyCount;
    if (op.exportCall(k.n.data(), static_cast<uint32_t>(k.n.size()), op.input(k).data(),
                      op.length(k), out.data(), &outLen) != 0) {
      state.SkipWithError("operation failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  const double perCall = (threadCpuNanos() - start) /
                         static_cast<double>(std::max<std::int64_t>(state.iterations(), 1));
  const double baseline = prebuiltCpuNanos(op, keys[0]);
  state.counters["prebuilt_us"] = baseline / 1000.0;
  state.counters["speed_vs_prebuilt"] = baseline / perCall;
  state.SetItemsProcessed(state.iterations());
}

void runPrebuilt(benchmark::State& state, const Operation& op) {
  const BenchKey& k = keysOf(state.range(0))[0];
  const auto rsa = dal::RsaPublicKey::fromRecord(dal::makePublicKeyRecord(k.n));
  Bytes out(256);
  for (auto _ : state) {
    if (!prebuiltCall(op, k, rsa->get(), out)) {
      state.SkipWithError("operation failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_RsaRaw_Export(benchmark::State& s) { runExport(s, kRaw, 1); }
void BM_RsaRaw_Cold(benchmark::State& s) { runExport(s, kRaw, kColdKeys); }
void BM_RsaRaw_Prebuilt(benchmark::State& s) { runPrebuilt(s, kRaw); }
void BM_Pkcs1Enc_Export(benchmark::State& s) { runExport(s, kPkcs1Enc, 1); }
void BM_Pkcs1Enc_Cold(benchmark::State& s) { runExport(s, kPkcs1Enc, kColdKeys); }
void BM_Pkcs1Enc_Prebuilt(benchmark::State& s) { runPrebuilt(s, kPkcs1Enc); }
void BM_Pkcs1Dec_Export(benchmark::State& s) { runExport(s, kPkcs1Dec, 1); }
void BM_Pkcs1Dec_Cold(benchmark::State& s) { runExport(s, kPkcs1Dec, kColdKeys); }
void BM_Pkcs1Dec_Prebuilt(benchmark::State& s) { runPrebuilt(s, kPkcs1Dec); }

}  // namespace

BENCHMARK(BM_RsaRaw_Export)->Arg(1024)->Arg(2048);
BENCHMARK(BM_RsaRaw_Cold)->Arg(1024)->Arg(2048);
BENCHMARK(BM_RsaRaw_Prebuilt)->Arg(1024)->Arg(2048);
BENCHMARK(BM_Pkcs1Enc_Export)->Arg(1024)->Arg(2048);
BENCHMARK(BM_Pkcs1Enc_Cold)->Arg(1024)->Arg(2048);
BENCHMARK(BM_Pkcs1Enc_Prebuilt)->Arg(1024)->Arg(2048);
BENCHMARK(BM_Pkcs1Dec_Export)->Arg(1024)->Arg(2048);
BENCHMARK(BM_Pkcs1Dec_Cold)->Arg(1024)->Arg(2048);
BENCHMARK(BM_Pkcs1Dec_Prebuilt)->Arg(1024)->Arg(2048);

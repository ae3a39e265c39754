// Software RSA public-key operations: each export builds its key object
// per call; the baseline is the same libcrypto call on a key object built
// once. The ratio of the two rates is the cost of the per-call key.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <benchmark/benchmark.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "keys/software_rsa.h"
#include "norv_dal_tkp30.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

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

const BenchKey& keyOf(std::int64_t bits) {
  static std::map<std::int64_t, BenchKey> keys;
  auto it = keys.find(bits);
  if (it == keys.end()) it = keys.emplace(bits, makeKey(static_cast<unsigned>(bits))).first;
  return it->second;
}

using Export = int32_t (*)(const uint8_t*, uint32_t, const uint8_t*, int32_t, uint8_t*,
                           int32_t*);

void runExport(benchmark::State& state, Export op, bool signatureInput, std::size_t inLen) {
  const BenchKey& k = keyOf(state.range(0));
  const Bytes& in = signatureInput ? k.signature : k.plain;
  const auto length = static_cast<int32_t>(inLen ? inLen : in.size());
  Bytes out(256);
  int32_t outLen = 0;
  for (auto _ : state) {
    if (op(k.n.data(), static_cast<uint32_t>(k.n.size()), in.data(), length, out.data(),
           &outLen) != 0) {
      state.SkipWithError("operation failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}

// The same libcrypto call as the export makes, on a key object built once.
void runPrebuilt(benchmark::State& state, bool decrypt, int padding, bool signatureInput,
                 std::size_t inLen) {
  const BenchKey& k = keyOf(state.range(0));
  const auto rsa = dal::RsaPublicKey::FromRecord(dal::MakePublicKeyRecord(k.n));
  const Bytes& in = signatureInput ? k.signature : k.plain;
  const int length = static_cast<int>(inLen ? inLen : in.size());
  Bytes out(256);
  for (auto _ : state) {
    const int rv = decrypt ? RSA_public_decrypt(length, in.data(), out.data(), rsa->get(), padding)
                           : RSA_public_encrypt(length, in.data(), out.data(), rsa->get(), padding);
    if (rv <= 0) {
      state.SkipWithError("operation failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}

constexpr std::size_t kPkcs1Message = 32;

void BM_RsaRaw_Export(benchmark::State& s) { runExport(s, &NORV_DAL_RsaPublicKeyRaw, false, 0); }
void BM_RsaRaw_Prebuilt(benchmark::State& s) { runPrebuilt(s, false, RSA_NO_PADDING, false, 0); }
void BM_Pkcs1Enc_Export(benchmark::State& s) {
  runExport(s, &NORV_DAL_Pkcs1RsaPublicKeyEnc, false, kPkcs1Message);
}
void BM_Pkcs1Enc_Prebuilt(benchmark::State& s) {
  runPrebuilt(s, false, RSA_PKCS1_PADDING, false, kPkcs1Message);
}
void BM_Pkcs1Dec_Export(benchmark::State& s) {
  runExport(s, &NORV_DAL_Pkcs1RsaPublicKeyDec, true, 0);
}
void BM_Pkcs1Dec_Prebuilt(benchmark::State& s) { runPrebuilt(s, true, RSA_PKCS1_PADDING, true, 0); }

}  // namespace

BENCHMARK(BM_RsaRaw_Export)->Arg(1024)->Arg(2048);
BENCHMARK(BM_RsaRaw_Prebuilt)->Arg(1024)->Arg(2048);
BENCHMARK(BM_Pkcs1Enc_Export)->Arg(1024)->Arg(2048);
BENCHMARK(BM_Pkcs1Enc_Prebuilt)->Arg(1024)->Arg(2048);
BENCHMARK(BM_Pkcs1Dec_Export)->Arg(1024)->Arg(2048);
BENCHMARK(BM_Pkcs1Dec_Prebuilt)->Arg(1024)->Arg(2048);

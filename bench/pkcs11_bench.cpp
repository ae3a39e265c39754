// C_Sign with CKM_SHA256_RSA_PKCS and a 1024-bit key through the module on
// an emulated token, beside the same through SoftHSM2 (Debian's generic
// software token), both loaded as any application loads a module. Batches
// of the two alternate; the counter "vs_softhsm" is the median of the
// batches' SoftHSM2 time over the module's time (above 1: the module is
// faster). Without SoftHSM2's module the comparison is skipped, and said so.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <p11-kit/pkcs11.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kSoftHsmModule = "/usr/lib/softhsm/libsofthsm2.so";
constexpr std::size_t kBatch = 20;
CK_UTF8CHAR kSoPin[] = "11223344";
CK_UTF8CHAR kUserPin[] = "123456";
CK_BYTE kMessage[64] = {1, 2, 3};

struct TempDir {
  std::string path;
  TempDir() {
    const char* base = std::getenv("TKP30_BENCH_TMP");
    std::string t = std::string(base && *base ? base : "/var/tmp") + "/p11bench.XXXXXX";
    if (mkdtemp(t.data()) != nullptr) path = t;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

// One module, a token initialised in it, a user session and a key pair.
class Signer {
 public:
  bool load(const char* path) {
    lib_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (lib_ == nullptr) return false;
    auto get = reinterpret_cast<CK_C_GetFunctionList>(dlsym(lib_, "C_GetFunctionList"));
    return get != nullptr && get(&f_) == CKR_OK && f_->C_Initialize(nullptr) == CKR_OK;
  }
  ~Signer() {
    if (f_ != nullptr) f_->C_Finalize(nullptr);
  }

  bool prepare() {
    CK_SLOT_ID slot = 0;
    CK_UTF8CHAR label[32];
    std::memset(label, ' ', sizeof label);
    std::memcpy(label, "bench", 5);
    if (!firstSlot(false, slot) || f_->C_InitToken(slot, kSoPin, 8, label) != CKR_OK) return false;
    // A module may give the initialised token another slot.
    if (!firstSlot(true, slot)) return false;
    if (f_->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session_) != CKR_OK ||
        f_->C_Login(session_, CKU_SO, kSoPin, 8) != CKR_OK ||
        f_->C_InitPIN(session_, kUserPin, 6) != CKR_OK || f_->C_Logout(session_) != CKR_OK ||
        f_->C_Login(session_, CKU_USER, kUserPin, 6) != CKR_OK)
      return false;
    return generateKeyPair();
  }

  bool sign() {
    CK_MECHANISM mechanism = {CKM_SHA256_RSA_PKCS, nullptr, 0};
    CK_BYTE signature[128];
    CK_ULONG length = sizeof signature;
    return f_->C_SignInit(session_, &mechanism, key_) == CKR_OK &&
           f_->C_Sign(session_, kMessage, sizeof kMessage, signature, &length) == CKR_OK;
  }

 private:
  bool firstSlot(bool withToken, CK_SLOT_ID& slot) {
    CK_SLOT_ID slots[8];
    CK_ULONG count = 8;
    if (f_->C_GetSlotList(withToken ? CK_TRUE : CK_FALSE, slots, &count) != CKR_OK || count == 0)
      return false;
    slot = slots[0];
    return true;
  }

  bool generateKeyPair() {
    CK_MECHANISM mechanism = {CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
    CK_ULONG bits = 1024;
    CK_BYTE exponent[] = {1, 0, 1};
    CK_BBOOL yes = CK_TRUE;
    CK_ATTRIBUTE pub[] = {{CKA_TOKEN, &yes, 1},
                          {CKA_VERIFY, &yes, 1},
                          {CKA_MODULUS_BITS, &bits, sizeof bits},
                          {CKA_PUBLIC_EXPONENT, exponent, sizeof exponent}};
    CK_ATTRIBUTE priv[] = {{CKA_TOKEN, &yes, 1}, {CKA_PRIVATE, &yes, 1}, {CKA_SENSITIVE, &yes, 1},
                           {CKA_SIGN, &yes, 1}};
    CK_OBJECT_HANDLE publicKey = 0;
    return f_->C_GenerateKeyPair(session_, &mechanism, pub, 4, priv, 4, &publicKey, &key_) == CKR_OK;
  }

  void* lib_ = nullptr;
  CK_FUNCTION_LIST* f_ = nullptr;
  CK_SESSION_HANDLE session_ = 0;
  CK_OBJECT_HANDLE key_ = 0;
};

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), mid, values.end());
  return *mid;
}

double timeBatch(Signer& signer, bool& ok) {
  const auto t0 = Clock::now();
  for (std::size_t i = 0; i < kBatch && ok; ++i) ok = signer.sign();
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

void BM_Pkcs11SignSha256Rsa1024(benchmark::State& state) {
  TempDir dir;
  ::setenv("TKP30_SLOTS", ("emu:" + dir.path + "/token.img").c_str(), 1);
  Signer module;
  if (!module.load(TKP30_PKCS11_MODULE) || !module.prepare()) {
    state.SkipWithError("the module could not be prepared");
    return;
  }
  std::filesystem::create_directories(dir.path + "/softhsm");
  std::ofstream(dir.path + "/softhsm.conf") << "directories.tokendir = " << dir.path
                                            << "/softhsm\nobjectstore.backend = file\n";
  ::setenv("SOFTHSM2_CONF", (dir.path + "/softhsm.conf").c_str(), 1);
  Signer softhsm;
  const bool compare = softhsm.load(kSoftHsmModule) && softhsm.prepare();
  std::vector<double> ratios;
  bool ok = true;
  bool moduleFirst = true;
  for (auto _ : state) {
    double moduleTime = 0;
    double softhsmTime = 0;
    for (int pass = 0; pass < (compare ? 2 : 1); ++pass) {
      if ((pass == 0) == moduleFirst) moduleTime = timeBatch(module, ok);
      else softhsmTime = timeBatch(softhsm, ok);
    }
    moduleFirst = !moduleFirst;
    if (compare && moduleTime > 0) ratios.push_back(softhsmTime / moduleTime);
    state.SetIterationTime(moduleTime);
  }
  if (!ok) state.SkipWithError("a signature failed");
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kBatch));
  if (compare) state.counters["vs_softhsm"] = median(std::move(ratios));
  else state.SetLabel("SoftHSM2 module missing (" + std::string(kSoftHsmModule) + "): no comparison");
}

}  // namespace

BENCHMARK(BM_Pkcs11SignSha256Rsa1024)->UseManualTime();

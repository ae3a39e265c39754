// The wall time of PKCS #11 work at a real token's pace: the emulated
// token answers each command after 3 ms (TKP30_EMU_DELAY_US=3000), so
// the time is mostly the number of commands the module sends. The token
// is formatted and holds one key pair, a certificate for it and a data
// object. Two benchmarks:
//   Sequence   a fresh module instance each iteration (loaded once, as any
//              application loads it): C_Initialize, C_GetSlotList,
//              C_GetTokenInfo, C_OpenSession, C_Login, C_FindObjects over
//              everything (and C_GetAttributeValue of CKA_CLASS to pick
//              the private key among them), C_Sign, C_Finalize;
//   SshKeygen  `ssh-keygen -D <module>` as a child process (skipped when
//              ssh-keygen is missing).
// Counters: seconds per run, the commands one run sends to the token
// (counted once, untimed, through TKP30_TRACE) and the seconds the delay
// alone accounts for (commands × 3 ms).
#define OPENSSL_SUPPRESS_DEPRECATED
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <p11-kit/pkcs11.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<CK_BYTE>;
using Clock = std::chrono::steady_clock;

constexpr char kSlotsVariable[] = "TKP30_SLOTS";
constexpr char kDelayVariable[] = "TKP30_EMU_DELAY_US";
constexpr char kTraceVariable[] = "TKP30_TRACE";
constexpr int kDelayUs = 3000;
CK_UTF8CHAR kSoPin[] = "11223344";
CK_UTF8CHAR kUserPin[] = "123456";
CK_BYTE kKeyId[] = {0x42};
CK_BYTE kMessage[64] = {1, 2, 3};

// Sets an environment variable for one scope (unsets it for nullopt) and
// puts back what was there.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    set(value);
  }
  ~ScopedEnv() { set(saved_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void set(const std::optional<std::string>& value) {
    if (value)
      ::setenv(name_, value->c_str(), 1);
    else
      ::unsetenv(name_);
  }
  const char* name_;
  std::optional<std::string> saved_;
};

struct TempDir {
  std::string path;
  TempDir() {
    const char* base = std::getenv("TKP30_BENCH_TMP");
    std::string t = std::string(base && *base ? base : "/var/tmp") + "/p11latency.XXXXXX";
    if (::mkdtemp(t.data()) != nullptr) path = t;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

// The module, loaded once for the process.
CK_FUNCTION_LIST* moduleFunctions() {
  static CK_FUNCTION_LIST* functions = [] {
    void* lib = ::dlopen(TKP30_PKCS11_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return static_cast<CK_FUNCTION_LIST*>(nullptr);
    auto get = reinterpret_cast<CK_C_GetFunctionList>(::dlsym(lib, "C_GetFunctionList"));
    CK_FUNCTION_LIST* list = nullptr;
    return get != nullptr && get(&list) == CKR_OK ? list : nullptr;
  }();
  return functions;
}

// The token's single slot.
bool tokenSlot(CK_FUNCTION_LIST* f, CK_SLOT_ID& slot) {
  CK_SLOT_ID slots[4];
  CK_ULONG count = 4;
  if (f->C_GetSlotList(CK_TRUE, slots, &count) != CKR_OK || count == 0) return false;
  slot = slots[0];
  return true;
}

Bytes attribute(CK_FUNCTION_LIST* f, CK_SESSION_HANDLE s, CK_OBJECT_HANDLE o,
                CK_ATTRIBUTE_TYPE type) {
  CK_ATTRIBUTE a = {type, nullptr, 0};
  if (f->C_GetAttributeValue(s, o, &a, 1) != CKR_OK) return {};
  Bytes value(a.ulValueLen);
  a.pValue = value.data();
  return f->C_GetAttributeValue(s, o, &a, 1) == CKR_OK ? value : Bytes{};
}

template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, std::integral_constant<decltype(Free), Free>>;

// An X.509 certificate (DER) for the RSA public key (n, e), issued by a
// throw-away key: any valid certificate serves.
Bytes certificateFor(const Bytes& modulus, const Bytes& exponent) {
  if (modulus.empty() || exponent.empty()) return {};
  Owned<RSA, RSA_free> rsa(RSA_new());
  Owned<BIGNUM, BN_free> n(BN_bin2bn(modulus.data(), static_cast<int>(modulus.size()), nullptr));
  Owned<BIGNUM, BN_free> e(BN_bin2bn(exponent.data(), static_cast<int>(exponent.size()), nullptr));
  if (!rsa || !n || !e || RSA_set0_key(rsa.get(), n.get(), e.get(), nullptr) != 1) return {};
  static_cast<void>(n.release());  // the key owns them now
  static_cast<void>(e.release());
  Owned<EVP_PKEY, EVP_PKEY_free> subject(EVP_PKEY_new());
  if (!subject || EVP_PKEY_assign_RSA(subject.get(), rsa.get()) != 1) return {};
  static_cast<void>(rsa.release());
  Owned<EVP_PKEY, EVP_PKEY_free> issuer(EVP_RSA_gen(1024));
  Owned<X509, X509_free> cert(X509_new());
  if (!issuer || !cert) return {};
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), 0);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 365L * 24 * 3600);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(cert.get()), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("latency bench"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(X509_get_issuer_name(cert.get()), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("bench issuer"), -1, -1, 0);
  if (X509_set_pubkey(cert.get(), subject.get()) != 1 ||
      X509_sign(cert.get(), issuer.get(), EVP_sha256()) == 0)
    return {};
  const int length = i2d_X509(cert.get(), nullptr);
  Bytes der(length > 0 ? static_cast<std::size_t>(length) : 0);
  unsigned char* out = der.data();
  return length > 0 && i2d_X509(cert.get(), &out) == length ? der : Bytes{};
}

bool storeObjects(CK_FUNCTION_LIST* f, CK_SESSION_HANDLE s, CK_OBJECT_HANDLE publicKey) {
  Bytes der = certificateFor(attribute(f, s, publicKey, CKA_MODULUS),
                             attribute(f, s, publicKey, CKA_PUBLIC_EXPONENT));
  if (der.empty()) return false;
  CK_OBJECT_CLASS certClass = CKO_CERTIFICATE, dataClass = CKO_DATA;
  CK_CERTIFICATE_TYPE x509 = CKC_X_509;
  CK_BBOOL yes = CK_TRUE;
  char label[] = "latency bench";
  CK_BYTE data[] = "a data object beside the key";
  CK_ATTRIBUTE cert[] = {{CKA_CLASS, &certClass, sizeof certClass},
                         {CKA_CERTIFICATE_TYPE, &x509, sizeof x509},
                         {CKA_TOKEN, &yes, 1},
                         {CKA_ID, kKeyId, sizeof kKeyId},
                         {CKA_LABEL, label, sizeof label - 1},
                         {CKA_VALUE, der.data(), der.size()}};
  CK_ATTRIBUTE object[] = {{CKA_CLASS, &dataClass, sizeof dataClass},
                           {CKA_TOKEN, &yes, 1},
                           {CKA_LABEL, label, sizeof label - 1},
                           {CKA_VALUE, data, sizeof data}};
  CK_OBJECT_HANDLE handle = 0;
  return f->C_CreateObject(s, cert, 6, &handle) == CKR_OK &&
         f->C_CreateObject(s, object, 4, &handle) == CKR_OK;
}

bool generateKeyPair(CK_FUNCTION_LIST* f, CK_SESSION_HANDLE s, CK_OBJECT_HANDLE& publicKey) {
  CK_MECHANISM mechanism = {CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
  CK_ULONG bits = 1024;
  CK_BBOOL yes = CK_TRUE;
  CK_ATTRIBUTE pub[] = {{CKA_TOKEN, &yes, 1},
                        {CKA_MODULUS_BITS, &bits, sizeof bits},
                        {CKA_ID, kKeyId, sizeof kKeyId}};
  CK_ATTRIBUTE priv[] = {{CKA_TOKEN, &yes, 1},
                         {CKA_PRIVATE, &yes, 1},
                         {CKA_SIGN, &yes, 1},
                         {CKA_ID, kKeyId, sizeof kKeyId}};
  CK_OBJECT_HANDLE privateKey = 0;
  return f->C_GenerateKeyPair(s, &mechanism, pub, 3, priv, 4, &publicKey, &privateKey) == CKR_OK;
}

// Formats the token and fills it; true when every step succeeded.
bool fillToken(CK_FUNCTION_LIST* f) {
  CK_SLOT_ID slots[4];
  CK_ULONG count = 4;
  CK_UTF8CHAR label[32];
  std::memset(label, ' ', sizeof label);
  std::memcpy(label, "latency", 7);
  if (f->C_GetSlotList(CK_FALSE, slots, &count) != CKR_OK || count == 0 ||
      f->C_InitToken(slots[0], kSoPin, 8, label) != CKR_OK)
    return false;
  CK_SLOT_ID slot = 0;
  CK_SESSION_HANDLE s = 0;
  CK_OBJECT_HANDLE publicKey = 0;
  return tokenSlot(f, slot) &&
         f->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &s) ==
             CKR_OK &&
         f->C_Login(s, CKU_SO, kSoPin, 8) == CKR_OK && f->C_InitPIN(s, kUserPin, 6) == CKR_OK &&
         f->C_Logout(s) == CKR_OK && f->C_Login(s, CKU_USER, kUserPin, 6) == CKR_OK &&
         generateKeyPair(f, s, publicKey) && storeObjects(f, s, publicKey);
}

// Prepares the token in a child process, without the delay. The module's
// device library keeps a slot open once it has opened it, and the delay
// is read when the token opens: this process must not open it before the
// delay is set.
bool prepareToken() {
  CK_FUNCTION_LIST* f = moduleFunctions();
  if (f == nullptr) return false;
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::unsetenv(kDelayVariable);
    const bool ok = f->C_Initialize(nullptr) == CKR_OK && fillToken(f);
    ::_exit(f->C_Finalize(nullptr) == CKR_OK && ok ? 0 : 1);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<CK_OBJECT_HANDLE> findEverything(CK_FUNCTION_LIST* f, CK_SESSION_HANDLE s) {
  std::vector<CK_OBJECT_HANDLE> found;
  if (f->C_FindObjectsInit(s, nullptr, 0) != CKR_OK) return found;
  CK_OBJECT_HANDLE batch[16];
  CK_ULONG n = 0;
  while (f->C_FindObjects(s, batch, 16, &n) == CKR_OK && n > 0)
    found.insert(found.end(), batch, batch + n);
  f->C_FindObjectsFinal(s);
  return found;
}

// Signs with the private key among everything found; `objects` is how many were.
bool signWithFoundKey(CK_FUNCTION_LIST* f, CK_SESSION_HANDLE s, std::size_t& objects) {
  const std::vector<CK_OBJECT_HANDLE> found = findEverything(f, s);
  objects = found.size();
  for (CK_OBJECT_HANDLE o : found) {
    CK_OBJECT_CLASS objectClass = 0;
    CK_ATTRIBUTE a = {CKA_CLASS, &objectClass, sizeof objectClass};
    if (f->C_GetAttributeValue(s, o, &a, 1) != CKR_OK || objectClass != CKO_PRIVATE_KEY) continue;
    CK_MECHANISM mechanism = {CKM_SHA256_RSA_PKCS, nullptr, 0};
    CK_BYTE signature[128];
    CK_ULONG length = sizeof signature;
    return f->C_SignInit(s, &mechanism, o) == CKR_OK &&
           f->C_Sign(s, kMessage, sizeof kMessage, signature, &length) == CKR_OK;
  }
  return false;
}

// The measured sequence in a fresh module instance; false when a step failed.
bool sequence(CK_FUNCTION_LIST* f, std::size_t& objects) {
  if (f->C_Initialize(nullptr) != CKR_OK) return false;
  CK_SLOT_ID slot = 0;
  CK_TOKEN_INFO info;
  CK_SESSION_HANDLE s = 0;
  const bool ok = tokenSlot(f, slot) && f->C_GetTokenInfo(slot, &info) == CKR_OK &&
                  f->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &s) == CKR_OK &&
                  f->C_Login(s, CKU_USER, kUserPin, 6) == CKR_OK && signWithFoundKey(f, s, objects);
  return f->C_Finalize(nullptr) == CKR_OK && ok;
}

// Commands in a trace: one line each, "slot N > …" (responses are "<").
double commandsIn(const std::string& trace) {
  std::ifstream in(trace);
  double count = 0;
  for (std::string line; std::getline(in, line);)
    if (line.rfind("slot ", 0) == 0 && line.find(" > ") != std::string::npos) ++count;
  return count;
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The figures beside the time: seconds per run, commands per run and the
// part the delay alone accounts for.
void report(benchmark::State& state, double totalSeconds, double commands) {
  state.counters["s_per_run"] =
      benchmark::Counter(totalSeconds, benchmark::Counter::kAvgIterations);
  state.counters["commands"] = commands;
  state.counters["delay_s"] = commands * kDelayUs / 1e6;
}

// A token image in a temporary folder, named by TKP30_SLOTS, prepared at
// full speed; then the delay for this process's token.
class DelayedToken {
 public:
  DelayedToken()
      : slots_(kSlotsVariable, "emu:" + dir_.path + "/token.img"),
        ready_(!dir_.path.empty() && prepareToken()),
        delay_(kDelayVariable, std::to_string(kDelayUs)) {}
  bool ready() const { return ready_; }
  std::string file(const char* name) const { return dir_.path + "/" + name; }

 private:
  TempDir dir_;
  ScopedEnv slots_;
  bool ready_;
  ScopedEnv delay_;
};

void BM_Pkcs11LatencySequence(benchmark::State& state) {
  DelayedToken token;
  CK_FUNCTION_LIST* f = moduleFunctions();
  if (!token.ready()) return state.SkipWithError("the token could not be prepared");
  // One run untimed: it opens the token (which reads the delay) and counts.
  std::size_t objects = 0;
  {
    const ScopedEnv trace(kTraceVariable, token.file("trace.txt"));
    if (!sequence(f, objects)) return state.SkipWithError("the sequence failed");
  }
  double total = 0;
  bool ok = true;
  for (auto _ : state) {
    const auto start = Clock::now();
    ok = sequence(f, objects) && ok;
    const double elapsed = seconds(Clock::now() - start);
    state.SetIterationTime(elapsed);
    total += elapsed;
  }
  if (!ok) return state.SkipWithError("a run of the sequence failed");
  report(state, total, commandsIn(token.file("trace.txt")));
  state.counters["objects"] = static_cast<double>(objects);
}

std::string inPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  for (std::size_t at = 0; at <= folders.size();) {
    const std::size_t end = std::min(folders.find(':', at), folders.size());
    const std::string candidate = folders.substr(at, end - at) + "/" + program;
    if (end > at && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return {};
}

// `ssh-keygen -D <module>` with this process's environment, its standard
// output to `out`; true when it exits 0.
bool runSshKeygen(const std::string& program, const std::string& out) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    const int output = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = ::open("/dev/null", O_WRONLY);
    if (output < 0 || null < 0 || ::dup2(output, 1) < 0 || ::dup2(null, 2) < 0) ::_exit(127);
    ::execl(program.c_str(), "ssh-keygen", "-D", TKP30_PKCS11_MODULE, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool listsTheKey(const std::string& out) {
  std::ifstream in(out);
  std::string line;
  return std::getline(in, line) && line.rfind("ssh-rsa ", 0) == 0;
}

void BM_Pkcs11LatencySshKeygen(benchmark::State& state) {
  const std::string program = inPath("ssh-keygen");
  if (program.empty()) return state.SkipWithError("ssh-keygen is missing: no figure");
  DelayedToken token;
  if (!token.ready()) return state.SkipWithError("the token could not be prepared");
  const std::string out = token.file("keys.pub");
  {
    const ScopedEnv trace(kTraceVariable, token.file("trace.txt"));
    if (!runSshKeygen(program, out) || !listsTheKey(out))
      return state.SkipWithError("ssh-keygen -D failed or listed no RSA key");
  }
  double total = 0;
  bool ok = true;
  for (auto _ : state) {
    const auto start = Clock::now();
    ok = runSshKeygen(program, out) && ok;
    const double elapsed = seconds(Clock::now() - start);
    state.SetIterationTime(elapsed);
    total += elapsed;
  }
  if (!ok) return state.SkipWithError("a run of ssh-keygen -D failed");
  report(state, total, commandsIn(token.file("trace.txt")));
}

}  // namespace

BENCHMARK(BM_Pkcs11LatencySequence)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Pkcs11LatencySshKeygen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

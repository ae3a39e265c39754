// Decodes each input into a short sequence of export calls with arbitrary
// arguments and runs them against an emulated token. Buffers are as large
// as the caller contract asks for the lengths passed; a length the library
// must refuse comes with a small buffer, so a wrong acceptance that reads
// or writes shows up under the address sanitizer.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "norv_dal_tkp30.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kSuper = {'1', '1', '2', '2', '3', '3', '4', '4'};
const Bytes kUser = {'6', '5', '4', '3', '2', '1'};
constexpr int kReformatEvery = 1000;  // inputs between two fresh layouts
constexpr int kMaxCalls = 16;
constexpr std::size_t kSmall = 16;    // the buffer that goes with a refused length

std::int32_t len(const Bytes& b) { return static_cast<std::int32_t>(b.size()); }

void freshToken() {
  NORV_DAL_FormatDevice(kSuper.data(), len(kSuper), kUser.data(), len(kUser));
  NORV_DAL_Login(NORV_DAL_LOGIN_USER, kUser.data(), len(kUser));
  NORV_DAL_CreateGlobalInfoFile(300);
  NORV_DAL_CreateUsrDataFile(1, 1, 200, 0, 0);
  NORV_DAL_CreateUsrDataFile(2, 2, 200, 1, 1);
}

// The contexts and state of one input's call sequence.
struct Session {
  FuzzedDataProvider& in;
  SSF33Ctx* ssf = nullptr;
  DesCtx* des = nullptr;
  Rc2Ctx* rc2 = nullptr;
  Rc4Ctx* rc4 = nullptr;

  ~Session() {
    NORV_DAL_SSF33ReleaseCtx(ssf);
    NORV_DAL_DesReleaseCtx(des);
    NORV_DAL_Rc2ReleaseCtx(rc2);
    NORV_DAL_Rc4ReleaseCtx(rc4);
  }

  // Signed lengths: mostly plausible, sometimes at the edges of the type.
  std::int32_t length() {
    switch (in.ConsumeIntegralInRange(0, 3)) {
      case 0: return in.ConsumeIntegralInRange<std::int32_t>(0, 300);
      case 1: return in.PickValueInArray<std::int32_t>(
          {-1, INT_MIN, INT_MAX, 0, 8, 15, 16, 55, 56, 128, 129, 256, 0xFFFF, 0x10000, 0x10001});
      case 2: return in.ConsumeIntegralInRange<std::int32_t>(-300, 70000);
      default: return in.ConsumeIntegral<std::int32_t>();
    }
  }
  std::int32_t small() { return in.ConsumeIntegralInRange<std::int32_t>(-2, 8); }

  // A buffer for `n` bytes the contract lets the caller pass, or a small
  // one for a length beyond any the library accepts.
  Bytes buffer(std::int64_t n, std::int64_t limit) {
    const std::size_t size = n >= 0 && n <= limit ? static_cast<std::size_t>(n) : kSmall;
    return Bytes(size, in.ConsumeIntegral<std::uint8_t>());
  }
  // Null now and then; otherwise the buffer's data.
  template <typename T>
  T* maybeNull(std::vector<T>& b) {
    return in.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : b.data();
  }
  std::int32_t* maybeNull(std::int32_t& v) { return in.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : &v; }
  std::uint32_t dataLength() { return in.ConsumeIntegralInRange<std::uint32_t>(0, 600); }
};

void pinCall(Session& s) {
  std::int32_t flag = 0;
  switch (s.in.ConsumeIntegralInRange(0, 6)) {
    case 0: {
      const std::int32_t n = s.length();
      Bytes pin = s.buffer(n, 55);
      NORV_DAL_Login(s.small(), s.maybeNull(pin), n);
      break;
    }
    case 1: NORV_DAL_Login(NORV_DAL_LOGIN_USER, kUser.data(), len(kUser)); break;
    case 2: NORV_DAL_Login(NORV_DAL_LOGIN_SUPER, kSuper.data(), len(kSuper)); break;
    case 3: NORV_DAL_Logout(s.small()); break;
    case 4: NORV_DAL_IsLogin(s.small(), s.maybeNull(flag)); break;
    case 5: {
      const std::int32_t a = s.length(), b = s.length();
      Bytes oldPin = s.buffer(a, 51), newPin = s.buffer(b, 51);
      NORV_DAL_ChangePin(s.small(), s.maybeNull(oldPin), a, s.maybeNull(newPin), b);
      break;
    }
    default: {
      const std::int32_t a = s.length(), b = s.length();
      Bytes superPin = s.buffer(a, 55), newPin = s.buffer(b, 15);
      NORV_DAL_UnlockPin(s.maybeNull(superPin), a, s.maybeNull(newPin), b);
    }
  }
}

void fileCall(Session& s) {
  const std::int32_t type = s.small(), index = s.in.ConsumeIntegralInRange(-1, 3);
  const std::int32_t offset = s.length(), n = s.length();
  switch (s.in.ConsumeIntegralInRange(0, 7)) {
    case 0: NORV_DAL_CreateGlobalInfoFile(s.length()); break;
    case 1: { Bytes out = s.buffer(n, 0x10000); NORV_DAL_ReadGlobalInfoFile(offset, n, s.maybeNull(out)); break; }
    case 2: { Bytes data = s.buffer(n, 0x10000); NORV_DAL_WriteGlobalInfoFile(offset, n, s.maybeNull(data)); break; }
    case 3: NORV_DAL_CreateUsrDataFile(type, index, s.length(), s.small(), s.small()); break;
    case 4: { Bytes out = s.buffer(n, 0x10000); NORV_DAL_ReadUsrDataFile(type, index, offset, n, s.maybeNull(out)); break; }
    case 5: { Bytes data = s.buffer(n, 0x10000); NORV_DAL_WriteUsrDataFile(type, index, offset, n, s.maybeNull(data)); break; }
    case 6: NORV_DAL_DeleteUsrDataFile(type, index); break;
    default: NORV_DAL_GetFreeSpace(s.length());
  }
}

void keyCall(Session& s) {
  std::int32_t pub = 0, pri = 0, outLen = 0;
  Bytes out(256), comp(128, 0x33);
  switch (s.in.ConsumeIntegralInRange(0, 6)) {
    case 0: NORV_DAL_GenRsaKeyPair(s.in.PickValueInArray({1024, 2048, 0, -1}), s.maybeNull(pub), s.maybeNull(pri)); break;
    case 1: NORV_DAL_ImportRsaKeyPair(s.length(), s.maybeNull(comp), s.length(), s.maybeNull(comp), comp.data(),
                                      comp.data(), comp.data(), s.maybeNull(comp), s.maybeNull(pub), &pri); break;
    case 2: NORV_DAL_GetPublicKey(0x0800 + s.small(), s.maybeNull(out), s.maybeNull(outLen)); break;
    case 3: {
      const std::int32_t n = s.length();
      Bytes data = s.buffer(n, 128);
      NORV_DAL_RsaPrivateKeyRaw(0x0820 + s.small(), s.maybeNull(data), n, s.maybeNull(out), s.maybeNull(outLen));
      break;
    }
    case 4: {
      // Any positive length is served, so only honest ones: negative ones
      // must be refused before the small buffer is touched.
      const std::int32_t n = s.in.ConsumeIntegralInRange<std::int32_t>(-5, 600);
      Bytes r = s.buffer(n, 600);
      NORV_DAL_GenRand(n < -2 ? INT_MIN : n, s.maybeNull(r));
      break;
    }
    default: {
      const auto nLen = static_cast<std::uint32_t>(s.in.PickValueInArray<std::int64_t>({128, 256, 0, 100, UINT_MAX}));
      Bytes n = s.buffer(nLen, 256);
      const std::int32_t inLen = s.length();
      Bytes data = s.buffer(inLen, 256);
      auto f = s.in.PickValueInArray({&NORV_DAL_RsaPublicKeyRaw, &NORV_DAL_Pkcs1RsaPublicKeyEnc,
                                      &NORV_DAL_Pkcs1RsaPublicKeyDec});
      f(s.maybeNull(n), nLen, s.maybeNull(data), inLen, s.maybeNull(out), s.maybeNull(outLen));
    }
  }
}

// One call on a cipher family's context; acquires one when there is none.
template <typename Ctx, typename Api>
void cipherCall(Session& s, Ctx*& ctx, const Api& api) {
  if (ctx == nullptr || s.in.ConsumeIntegralInRange(0, 7) == 0) {
    api.release(ctx);
    ctx = nullptr;
    const std::int32_t keyLen = s.in.ConsumeIntegralInRange<std::int32_t>(-1, 80);
    Bytes key = s.buffer(keyLen, 80), iv(16, 0x11);
    if (key.size() < 24) key.resize(24, 0x22);  // what a long-key family may read
    api.acquire(s.maybeNull(key), keyLen, s.maybeNull(iv), s.in.ConsumeIntegralInRange(0, 3),
                s.in.ConsumeIntegralInRange(0, 2), &ctx);
    return;
  }
  const std::uint32_t n = s.dataLength();
  Bytes data(n, 0x44), out(n + 64);
  std::uint32_t outLen = 0;
  const auto macLen = s.in.ConsumeIntegralInRange<std::uint32_t>(0, 20);
  Bytes mac(macLen <= 16 ? macLen : kSmall);
  api.call(s.in.ConsumeIntegralInRange(0, 9), ctx, data, out, outLen, mac, macLen);
}

#define NORV_FUZZ_FAMILY(Name, Prefix)                                                                \
  struct Name {                                                                                       \
    static void release(Prefix##Ctx* c) { NORV_DAL_##Prefix##ReleaseCtx(c); }                        \
    static void acquire(const std::uint8_t* k, std::int32_t kl, const std::uint8_t* iv, std::int32_t m, \
                        std::int32_t e, Prefix##Ctx** c) {                                            \
      NORV_DAL_##Prefix##AcquireContext(k, kl, iv, m, e, c);                                          \
    }                                                                                                 \
    static void call(int which, Prefix##Ctx* c, Bytes& in, Bytes& out, std::uint32_t& outLen,        \
                     Bytes& mac, std::uint32_t macLen) {                                              \
      const auto n = static_cast<std::uint32_t>(in.size());                                          \
      switch (which) {                                                                                \
        case 0: NORV_DAL_##Prefix##EncUpdate(c, in.data(), n, out.data(), &outLen); break;            \
        case 1: NORV_DAL_##Prefix##EncFinal(c, out.data(), &outLen); break;                           \
        case 2: NORV_DAL_##Prefix##Encrypt(c, in.data(), n, out.data(), &outLen); break;              \
        case 3: NORV_DAL_##Prefix##DecUpdate(c, in.data(), n, out.data(), &outLen); break;            \
        case 4: NORV_DAL_##Prefix##DecFinal(c, out.data(), &outLen); break;                           \
        case 5: NORV_DAL_##Prefix##Decrypt(c, in.data(), n, out.data(), &outLen); break;              \
        case 6: NORV_DAL_##Prefix##MacUpdate(c, in.data(), n); break;                                 \
        case 7: NORV_DAL_##Prefix##MacFinal(c, mac.data(), macLen); break;                            \
        default: NORV_DAL_##Prefix##Mac(c, in.data(), n, mac.data(), macLen);                         \
      }                                                                                               \
    }                                                                                                 \
  };
NORV_FUZZ_FAMILY(Ssf33Api, SSF33)
NORV_FUZZ_FAMILY(DesApi, Des)
NORV_FUZZ_FAMILY(Rc2Api, Rc2)

struct Rc4Api {
  static void release(Rc4Ctx* c) { NORV_DAL_Rc4ReleaseCtx(c); }
  static void acquire(const std::uint8_t* k, std::int32_t kl, const std::uint8_t* iv, std::int32_t m,
                      std::int32_t e, Rc4Ctx** c) {
    NORV_DAL_Rc4AcquireContext(k, kl, iv, m, e, c);
  }
  static void call(int which, Rc4Ctx* c, Bytes& in, Bytes& out, std::uint32_t& outLen, Bytes&,
                   std::uint32_t) {
    const auto n = static_cast<std::uint32_t>(in.size());
    if (which % 3 == 0) NORV_DAL_Rc4Update(c, in.data(), n, out.data(), &outLen);
    else if (which % 3 == 1) NORV_DAL_Rc4Encrypt(c, in.data(), n, out.data(), &outLen);
    else NORV_DAL_Rc4Final(c, out.data(), &outLen);
  }
};

void deviceCall(Session& s) {
  char msg[NORV_DAL_ERRMSG_SIZE + 2];
  NORV_DAL_FUNCTION_LIST list{};
  switch (s.in.ConsumeIntegralInRange(0, 4)) {
    case 0: NORV_DAL_GetErrMsg(s.in.ConsumeIntegral<std::int32_t>(), msg); break;
    case 1: NORV_DAL_GetFunctionList(s.in.ConsumeBool() ? &list : nullptr); break;
    case 2: NORV_DAL_Finalize(); break;
    case 3: NORV_DAL_Initialize(); break;
    default: {
      const std::int32_t a = s.length(), b = s.length();
      Bytes superPin = s.buffer(a, 128), userPin = s.buffer(b, 128);
      NORV_DAL_FormatDevice(s.maybeNull(superPin), a, s.maybeNull(userPin), b);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The token syncs every write; an image in memory keeps the disk out of
  // the measure and out of the corpus folder.
  std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "";
  if (base.empty()) {
    const char* tmp = std::getenv("TKP30_FUZZ_TMP");
    base = tmp && *tmp ? tmp : "/tmp";
  }
  static std::string dir;
  dir = base + "/api-fuzz-XXXXXX";
  if (::mkdtemp(dir.data()) == nullptr) return 0;
  ::setenv("TKP30_SLOTS", ("emu:" + dir + "/token.img").c_str(), 1);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  });
  freshToken();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static int inputs = 0;
  if (++inputs % kReformatEvery == 0) freshToken();
  FuzzedDataProvider in(data, size);
  Session s{in};
  for (int i = 0; i < kMaxCalls && in.remaining_bytes() > 0; ++i) {
    switch (in.ConsumeIntegralInRange(0, 8)) {
      case 0: pinCall(s); break;
      case 1: fileCall(s); break;
      case 2: keyCall(s); break;
      case 3: cipherCall(s, s.ssf, Ssf33Api{}); break;
      case 4: cipherCall(s, s.des, DesApi{}); break;
      case 5: cipherCall(s, s.rc2, Rc2Api{}); break;
      case 6: cipherCall(s, s.rc4, Rc4Api{}); break;
      default: deviceCall(s);
    }
  }
  return 0;
}

// Every export against arguments it must refuse: null pointers, negative
// and huge lengths, out-of-range types. Each refusal has its own clear code
// and happens before anything reaches the card.
#include <type_traits>
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "norv_dal_tkp30.h"
#include "support/scripted_device.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Buffers sized generously for what a valid call would write: a refused
// call must not need them at all.
struct Buffers {
  Bytes pin = Bytes(300, '7');
  Bytes in = Bytes(512, 0x11);
  Bytes out = Bytes(1024, 0);
  Bytes key = Bytes(128, 0x3C);
  Bytes iv = Bytes(16, 0);
  std::int32_t a = 0, b = 0;
  std::uint32_t u = 0;
};

struct Row {
  std::string name;
  std::function<std::int32_t(Buffers&)> call;
  std::int32_t expected;
};
void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

constexpr std::int32_t P = NORV_DAL_ERR_PARAM;
constexpr std::int32_t L = NORV_DAL_ERR_DATA_LEN;
constexpr std::int32_t M = NORV_DAL_ERR_MODULUS_LEN;

std::vector<Row> pinRows() {
  return {
      {"Login null pin", [](Buffers&) { return NORV_DAL_Login(2, nullptr, 6); }, P},
      {"Login negative length", [](Buffers& b) { return NORV_DAL_Login(2, b.pin.data(), -1); }, P},
      {"Login 56 bytes", [](Buffers& b) { return NORV_DAL_Login(2, b.pin.data(), 56); }, P},
      {"Login INT_MAX", [](Buffers& b) { return NORV_DAL_Login(1, b.pin.data(), INT_MAX); }, P},
      {"Logout type 0", [](Buffers&) { return NORV_DAL_Logout(0); }, P},
      {"Logout type 3", [](Buffers&) { return NORV_DAL_Logout(3); }, P},
      {"Logout INT_MIN", [](Buffers&) { return NORV_DAL_Logout(INT_MIN); }, P},
      {"IsLogin null flag", [](Buffers&) { return NORV_DAL_IsLogin(2, nullptr); }, P},
      {"IsLogin type 3", [](Buffers& b) { return NORV_DAL_IsLogin(3, &b.a); }, P},
      {"IsLogin type -1", [](Buffers& b) { return NORV_DAL_IsLogin(-1, &b.a); }, P},
      {"ChangePin null old",
       [](Buffers& b) { return NORV_DAL_ChangePin(2, nullptr, 6, b.pin.data(), 6); }, P},
      {"ChangePin null new",
       [](Buffers& b) { return NORV_DAL_ChangePin(2, b.pin.data(), 6, nullptr, 6); }, P},
      {"ChangePin negative old",
       [](Buffers& b) { return NORV_DAL_ChangePin(2, b.pin.data(), -1, b.pin.data(), 6); }, P},
      {"ChangePin negative new",
       [](Buffers& b) { return NORV_DAL_ChangePin(2, b.pin.data(), 6, b.pin.data(), INT_MIN); }, P},
      {"ChangePin 26+26 bytes",
       [](Buffers& b) { return NORV_DAL_ChangePin(2, b.pin.data(), 26, b.pin.data(), 26); }, P},
      {"ChangePin INT_MAX+INT_MAX",
       [](Buffers& b) { return NORV_DAL_ChangePin(1, b.pin.data(), INT_MAX, b.pin.data(), INT_MAX); },
       P},
      {"UnlockPin null super",
       [](Buffers& b) { return NORV_DAL_UnlockPin(nullptr, 8, b.pin.data(), 6); }, P},
      {"UnlockPin null new", [](Buffers& b) { return NORV_DAL_UnlockPin(b.pin.data(), 8, nullptr, 6); },
       P},
      {"UnlockPin super 56 bytes",
       [](Buffers& b) { return NORV_DAL_UnlockPin(b.pin.data(), 56, b.pin.data(), 6); }, P},
      {"UnlockPin new 16 bytes",
       [](Buffers& b) { return NORV_DAL_UnlockPin(b.pin.data(), 8, b.pin.data(), 16); }, P},
      {"UnlockPin negative new",
       [](Buffers& b) { return NORV_DAL_UnlockPin(b.pin.data(), 8, b.pin.data(), -1); }, P},
      {"UnlockPin negative super",
       [](Buffers& b) { return NORV_DAL_UnlockPin(b.pin.data(), -8, b.pin.data(), 6); }, P},
  };
}

std::vector<Row> fileRows() {
  return {
      {"FormatDevice null super",
       [](Buffers& b) { return NORV_DAL_FormatDevice(nullptr, 8, b.pin.data(), 6); }, P},
      {"FormatDevice null user",
       [](Buffers& b) { return NORV_DAL_FormatDevice(b.pin.data(), 8, nullptr, 6); }, P},
      {"FormatDevice super 129 bytes",
       [](Buffers& b) { return NORV_DAL_FormatDevice(b.pin.data(), 129, b.pin.data(), 6); }, P},
      {"FormatDevice user 129 bytes",
       [](Buffers& b) { return NORV_DAL_FormatDevice(b.pin.data(), 8, b.pin.data(), 129); }, P},
      {"FormatDevice negative user",
       [](Buffers& b) { return NORV_DAL_FormatDevice(b.pin.data(), 8, b.pin.data(), -1); }, P},
      {"FormatDevice INT_MIN super",
       [](Buffers& b) { return NORV_DAL_FormatDevice(b.pin.data(), INT_MIN, b.pin.data(), 6); }, P},
      {"ReadGlobalInfoFile null",
       [](Buffers&) { return NORV_DAL_ReadGlobalInfoFile(0, 10, nullptr); }, P},
      {"ReadGlobalInfoFile negative offset",
       [](Buffers& b) { return NORV_DAL_ReadGlobalInfoFile(-1, 10, b.out.data()); }, P},
      {"ReadGlobalInfoFile negative length",
       [](Buffers& b) { return NORV_DAL_ReadGlobalInfoFile(0, -1, b.out.data()); }, P},
      {"ReadGlobalInfoFile offset past 16 bits",
       [](Buffers& b) { return NORV_DAL_ReadGlobalInfoFile(0x10000, 1, b.out.data()); }, P},
      {"ReadGlobalInfoFile length past 16 bits",
       [](Buffers& b) { return NORV_DAL_ReadGlobalInfoFile(0, 0x10001, b.out.data()); }, P},
      {"ReadGlobalInfoFile INT_MAX",
       [](Buffers& b) { return NORV_DAL_ReadGlobalInfoFile(INT_MAX, INT_MAX, b.out.data()); }, P},
      {"WriteGlobalInfoFile null",
       [](Buffers&) { return NORV_DAL_WriteGlobalInfoFile(0, 10, nullptr); }, P},
      {"WriteGlobalInfoFile negative offset",
       [](Buffers& b) { return NORV_DAL_WriteGlobalInfoFile(INT_MIN, 10, b.in.data()); }, P},
      {"WriteGlobalInfoFile negative length",
       [](Buffers& b) { return NORV_DAL_WriteGlobalInfoFile(0, -5, b.in.data()); }, P},
      {"WriteGlobalInfoFile range past 16 bits",
       [](Buffers& b) { return NORV_DAL_WriteGlobalInfoFile(0xFFFF, 2, b.in.data()); }, P},
      {"CreateUsrDataFile type 0", [](Buffers&) { return NORV_DAL_CreateUsrDataFile(0, 1, 10, 0, 0); }, P},
      {"CreateUsrDataFile type 4", [](Buffers&) { return NORV_DAL_CreateUsrDataFile(4, 1, 10, 0, 0); }, P},
      {"CreateUsrDataFile type -1", [](Buffers&) { return NORV_DAL_CreateUsrDataFile(-1, 1, 10, 0, 0); }, P},
      {"CreateUsrDataFile read 3", [](Buffers&) { return NORV_DAL_CreateUsrDataFile(1, 1, 10, 3, 0); }, P},
      {"CreateUsrDataFile read -1", [](Buffers&) { return NORV_DAL_CreateUsrDataFile(1, 1, 10, -1, 0); }, P},
      {"CreateUsrDataFile write 3", [](Buffers&) { return NORV_DAL_CreateUsrDataFile(1, 1, 10, 0, 3); }, P},
      {"CreateUsrDataFile size -1", [](Buffers&) { return NORV_DAL_CreateUsrDataFile(1, 1, -1, 0, 0); }, P},
      {"CreateUsrDataFile size INT_MAX",
       [](Buffers&) { return NORV_DAL_CreateUsrDataFile(1, 1, INT_MAX, 0, 0); }, P},
      {"CreateUsrDataFile size past 16 bits",
       [](Buffers&) { return NORV_DAL_CreateUsrDataFile(1, 1, 0xFFFE, 0, 0); }, P},
      {"ReadUsrDataFile type 0",
       [](Buffers& b) { return NORV_DAL_ReadUsrDataFile(0, 1, 0, 10, b.out.data()); }, P},
      {"ReadUsrDataFile type INT_MAX",
       [](Buffers& b) { return NORV_DAL_ReadUsrDataFile(INT_MAX, 1, 0, 10, b.out.data()); }, P},
      {"ReadUsrDataFile null", [](Buffers&) { return NORV_DAL_ReadUsrDataFile(1, 1, 0, 10, nullptr); }, P},
      {"ReadUsrDataFile negative offset",
       [](Buffers& b) { return NORV_DAL_ReadUsrDataFile(1, 1, -1, 10, b.out.data()); }, P},
      {"ReadUsrDataFile negative length",
       [](Buffers& b) { return NORV_DAL_ReadUsrDataFile(1, 1, 0, INT_MIN, b.out.data()); }, P},
      {"ReadUsrDataFile range past 16 bits",
       [](Buffers& b) { return NORV_DAL_ReadUsrDataFile(1, 1, 0xFFFE, 1, b.out.data()); }, P},
      {"WriteUsrDataFile type 4",
       [](Buffers& b) { return NORV_DAL_WriteUsrDataFile(4, 1, 0, 10, b.in.data()); }, P},
      {"WriteUsrDataFile null", [](Buffers&) { return NORV_DAL_WriteUsrDataFile(1, 1, 0, 10, nullptr); }, P},
      {"WriteUsrDataFile negative offset",
       [](Buffers& b) { return NORV_DAL_WriteUsrDataFile(1, 1, -2, 1, b.in.data()); }, P},
      {"WriteUsrDataFile negative length",
       [](Buffers& b) { return NORV_DAL_WriteUsrDataFile(1, 1, 0, -1, b.in.data()); }, P},
      {"WriteUsrDataFile INT_MAX length",
       [](Buffers& b) { return NORV_DAL_WriteUsrDataFile(1, 1, 0, INT_MAX, b.in.data()); }, P},
      {"DeleteUsrDataFile type 0", [](Buffers&) { return NORV_DAL_DeleteUsrDataFile(0, 1); }, P},
      {"DeleteUsrDataFile type INT_MIN", [](Buffers&) { return NORV_DAL_DeleteUsrDataFile(INT_MIN, 1); }, P},
  };
}

std::vector<Row> keyRows() {
  return {
      {"GenRsaKeyPair 2048", [](Buffers& b) { return NORV_DAL_GenRsaKeyPair(2048, &b.a, &b.b); }, M},
      {"GenRsaKeyPair 512", [](Buffers& b) { return NORV_DAL_GenRsaKeyPair(512, &b.a, &b.b); }, M},
      {"GenRsaKeyPair 0", [](Buffers& b) { return NORV_DAL_GenRsaKeyPair(0, &b.a, &b.b); }, M},
      {"GenRsaKeyPair -1024", [](Buffers& b) { return NORV_DAL_GenRsaKeyPair(-1024, &b.a, &b.b); }, M},
      {"GenRsaKeyPair null pub", [](Buffers& b) { return NORV_DAL_GenRsaKeyPair(1024, nullptr, &b.b); }, P},
      {"GenRsaKeyPair null pri", [](Buffers& b) { return NORV_DAL_GenRsaKeyPair(1024, &b.a, nullptr); }, P},
      {"GetPublicKey null key", [](Buffers& b) { return NORV_DAL_GetPublicKey(0x800, nullptr, &b.a); }, P},
      {"GetPublicKey null length",
       [](Buffers& b) { return NORV_DAL_GetPublicKey(0x800, b.out.data(), nullptr); }, P},
      {"RsaPrivateKeyRaw 127",
       [](Buffers& b) { return NORV_DAL_RsaPrivateKeyRaw(0x820, b.in.data(), 127, b.out.data(), &b.a); }, L},
      {"RsaPrivateKeyRaw 129",
       [](Buffers& b) { return NORV_DAL_RsaPrivateKeyRaw(0x820, b.in.data(), 129, b.out.data(), &b.a); }, L},
      {"RsaPrivateKeyRaw 256",
       [](Buffers& b) { return NORV_DAL_RsaPrivateKeyRaw(0x820, b.in.data(), 256, b.out.data(), &b.a); }, L},
      {"RsaPrivateKeyRaw negative",
       [](Buffers& b) { return NORV_DAL_RsaPrivateKeyRaw(0x820, b.in.data(), -128, b.out.data(), &b.a); }, L},
      {"RsaPrivateKeyRaw null in",
       [](Buffers& b) { return NORV_DAL_RsaPrivateKeyRaw(0x820, nullptr, 128, b.out.data(), &b.a); }, P},
      {"RsaPrivateKeyRaw null out",
       [](Buffers& b) { return NORV_DAL_RsaPrivateKeyRaw(0x820, b.in.data(), 128, nullptr, &b.a); }, P},
      {"RsaPrivateKeyRaw null length",
       [](Buffers& b) { return NORV_DAL_RsaPrivateKeyRaw(0x820, b.in.data(), 128, b.out.data(), nullptr); },
       P},
      {"GenRand negative", [](Buffers& b) { return NORV_DAL_GenRand(-1, b.out.data()); }, P},
      {"GenRand INT_MIN", [](Buffers& b) { return NORV_DAL_GenRand(INT_MIN, b.out.data()); }, P},
      {"GenRand null", [](Buffers&) { return NORV_DAL_GenRand(8, nullptr); }, P},
      {"GenRand zero", [](Buffers& b) { return NORV_DAL_GenRand(0, b.out.data()); }, 0},
  };
}

using SoftRsa = std::int32_t (*)(const std::uint8_t*, std::uint32_t, const std::uint8_t*, std::int32_t,
                                 std::uint8_t*, std::int32_t*);

// The three software RSA calls share one argument shape.
std::vector<Row> softRsaRows(const std::string& name, SoftRsa f) {
  auto row = [&](const std::string& what, std::function<std::int32_t(Buffers&)> call,
                 std::int32_t expected) { return Row{name + " " + what, std::move(call), expected}; };
  return {
      row("nLen 0", [f](Buffers& b) { return f(b.key.data(), 0, b.in.data(), 128, b.out.data(), &b.a); }, M),
      row("nLen 100", [f](Buffers& b) { return f(b.key.data(), 100, b.in.data(), 128, b.out.data(), &b.a); }, M),
      row("nLen 512", [f](Buffers& b) { return f(b.in.data(), 512, b.in.data(), 128, b.out.data(), &b.a); }, M),
      row("nLen UINT_MAX",
          [f](Buffers& b) { return f(b.key.data(), UINT_MAX, b.in.data(), 128, b.out.data(), &b.a); }, M),
      row("null n", [f](Buffers& b) { return f(nullptr, 128, b.in.data(), 128, b.out.data(), &b.a); }, P),
      row("null in", [f](Buffers& b) { return f(b.key.data(), 128, nullptr, 128, b.out.data(), &b.a); }, P),
      row("null out", [f](Buffers& b) { return f(b.key.data(), 128, b.in.data(), 128, nullptr, &b.a); }, P),
      row("null length",
          [f](Buffers& b) { return f(b.key.data(), 128, b.in.data(), 128, b.out.data(), nullptr); }, P),
      row("negative length",
          [f](Buffers& b) { return f(b.key.data(), 128, b.in.data(), -1, b.out.data(), &b.a); }, P),
  };
}

// The block cipher families share the context call shapes; `ctx` is a
// context of the family, acquired by the test beforehand.
template <typename Ctx>
struct Family {
  std::string name;
  std::int32_t (*acquire)(const std::uint8_t*, std::int32_t, const std::uint8_t*, std::int32_t,
                          std::int32_t, Ctx**);
  std::int32_t (*encUpdate)(Ctx*, const std::uint8_t*, std::uint32_t, std::uint8_t*, std::uint32_t*);
  std::int32_t (*encFinal)(Ctx*, std::uint8_t*, std::uint32_t*);
  std::int32_t (*encrypt)(Ctx*, const std::uint8_t*, std::uint32_t, std::uint8_t*, std::uint32_t*);
  std::int32_t (*decUpdate)(Ctx*, const std::uint8_t*, std::uint32_t, std::uint8_t*, std::uint32_t*);
  std::int32_t (*decFinal)(Ctx*, std::uint8_t*, std::uint32_t*);
  std::int32_t (*decrypt)(Ctx*, const std::uint8_t*, std::uint32_t, std::uint8_t*, std::uint32_t*);
  std::int32_t (*macUpdate)(Ctx*, const std::uint8_t*, std::uint32_t);
  std::int32_t (*macFinal)(Ctx*, std::uint8_t*, std::uint32_t);
  std::int32_t (*mac)(Ctx*, const std::uint8_t*, std::uint32_t, std::uint8_t*, std::uint32_t);
  std::int32_t (*release)(std::conditional_t<std::is_same_v<Ctx, SSF33Ctx>, SSF33Ctx, void>*);
  std::int32_t goodKeyLen;
  std::vector<std::int32_t> badKeyLens;
  std::uint32_t macLimit;
};

template <typename Ctx>
std::vector<Row> familyRows(const Family<Ctx>& f) {
  std::vector<Row> rows;
  auto add = [&](const std::string& what, std::function<std::int32_t(Buffers&)> call,
                 std::int32_t expected) { rows.push_back({f.name + " " + what, std::move(call), expected}); };
  for (std::int32_t keyLen : f.badKeyLens) {
    add("acquire keyLen " + std::to_string(keyLen), [f, keyLen](Buffers& b) {
      Ctx* ctx = nullptr;
      return f.acquire(b.key.data(), keyLen, b.iv.data(), NORV_DAL_MODE_ECB, 1, &ctx);
    }, L);
  }
  add("acquire null key", [f](Buffers& b) {
    Ctx* ctx = nullptr;
    return f.acquire(nullptr, f.goodKeyLen, b.iv.data(), NORV_DAL_MODE_ECB, 1, &ctx);
  }, P);
  add("acquire null ctx out",
      [f](Buffers& b) { return f.acquire(b.key.data(), f.goodKeyLen, b.iv.data(), NORV_DAL_MODE_ECB, 1, nullptr); },
      P);
  add("acquire CBC null iv", [f](Buffers& b) {
    Ctx* ctx = nullptr;
    return f.acquire(b.key.data(), f.goodKeyLen, nullptr, NORV_DAL_MODE_CBC, 1, &ctx);
  }, P);
  add("EncUpdate null ctx", [f](Buffers& b) { return f.encUpdate(nullptr, b.in.data(), 16, b.out.data(), &b.u); }, P);
  add("EncFinal null ctx", [f](Buffers& b) { return f.encFinal(nullptr, b.out.data(), &b.u); }, P);
  add("Encrypt null ctx", [f](Buffers& b) { return f.encrypt(nullptr, b.in.data(), 16, b.out.data(), &b.u); }, P);
  add("DecUpdate null ctx", [f](Buffers& b) { return f.decUpdate(nullptr, b.in.data(), 16, b.out.data(), &b.u); }, P);
  add("DecFinal null ctx", [f](Buffers& b) { return f.decFinal(nullptr, b.out.data(), &b.u); }, P);
  add("Decrypt null ctx", [f](Buffers& b) { return f.decrypt(nullptr, b.in.data(), 16, b.out.data(), &b.u); }, P);
  add("MacUpdate null ctx", [f](Buffers& b) { return f.macUpdate(nullptr, b.in.data(), 16); }, P);
  add("MacFinal null ctx", [f](Buffers& b) { return f.macFinal(nullptr, b.out.data(), 8); }, P);
  add("Mac null ctx", [f](Buffers& b) { return f.mac(nullptr, b.in.data(), 16, b.out.data(), 8); }, P);
  add("ReleaseCtx null", [f](Buffers&) { return f.release(nullptr); }, 0);
  // Calls on a live context: acquired first, the device record cleared,
  // then the bad call; the context is released afterwards.
  auto onContext = [f](std::function<std::int32_t(Ctx*, Buffers&)> call) {
    return [f, call](Buffers& b) {
      Ctx* ctx = nullptr;
      if (f.acquire(b.key.data(), f.goodKeyLen, b.iv.data(), NORV_DAL_MODE_ECB, 1, &ctx) != 0) return 1;
      scripted::reset();
      const std::int32_t rc = call(ctx, b);
      f.release(ctx);
      return rc;
    };
  };
  add("MacFinal macLen over the limit",
      onContext([f](Ctx* c, Buffers& b) { return f.macFinal(c, b.out.data(), f.macLimit + 1); }), L);
  add("MacFinal macLen UINT_MAX",
      onContext([f](Ctx* c, Buffers& b) { return f.macFinal(c, b.out.data(), UINT_MAX); }), L);
  // An empty message: the one-shot call feeds its data before the final
  // step looks at macLen, so data would reach the card first.
  add("Mac macLen over the limit",
      onContext([f](Ctx* c, Buffers& b) { return f.mac(c, b.in.data(), 0, b.out.data(), f.macLimit + 1); }), L);
  add("EncUpdate null in",
      onContext([f](Ctx* c, Buffers& b) { return f.encUpdate(c, nullptr, 16, b.out.data(), &b.u); }), P);
  add("EncUpdate null out",
      onContext([f](Ctx* c, Buffers& b) { return f.encUpdate(c, b.in.data(), 16, nullptr, &b.u); }), P);
  add("DecFinal null length",
      onContext([f](Ctx* c, Buffers& b) { return f.decFinal(c, b.out.data(), nullptr); }), P);
  add("MacUpdate null in", onContext([f](Ctx* c, Buffers&) { return f.macUpdate(c, nullptr, 16); }), P);
  return rows;
}

#define NORV_FAMILY(Prefix)                                                                 \
  &NORV_DAL_##Prefix##AcquireContext, &NORV_DAL_##Prefix##EncUpdate,                        \
      &NORV_DAL_##Prefix##EncFinal, &NORV_DAL_##Prefix##Encrypt, &NORV_DAL_##Prefix##DecUpdate, \
      &NORV_DAL_##Prefix##DecFinal, &NORV_DAL_##Prefix##Decrypt, &NORV_DAL_##Prefix##MacUpdate, \
      &NORV_DAL_##Prefix##MacFinal, &NORV_DAL_##Prefix##Mac, &NORV_DAL_##Prefix##ReleaseCtx

std::vector<Row> cipherRows() {
  std::vector<Row> rows;
  auto append = [&rows](std::vector<Row> more) { rows.insert(rows.end(), more.begin(), more.end()); };
  append(familyRows(Family<SSF33Ctx>{"SSF33", NORV_FAMILY(SSF33), 16, {0, -1, 76, INT_MIN}, 16}));
  append(familyRows(Family<DesCtx>{"Des", NORV_FAMILY(Des), 8, {0, -1, 7, 9, 23, INT_MIN}, 8}));
  append(familyRows(Family<Rc2Ctx>{"Rc2", NORV_FAMILY(Rc2), 16, {0, -1, INT_MIN}, 8}));
  rows.push_back({"SSF33 acquire CBC keyLen 60", [](Buffers& b) {
                    SSF33Ctx* ctx = nullptr;
                    return NORV_DAL_SSF33AcquireContext(b.key.data(), 60, b.iv.data(), NORV_DAL_MODE_CBC, 1, &ctx);
                  }, L});
  const std::vector<Row> rc4 = {
      {"Rc4 acquire keyLen 0", [](Buffers& b) {
         Rc4Ctx* ctx = nullptr;
         return NORV_DAL_Rc4AcquireContext(b.key.data(), 0, nullptr, 0, 0, &ctx);
       }, L},
      {"Rc4 acquire keyLen -1", [](Buffers& b) {
         Rc4Ctx* ctx = nullptr;
         return NORV_DAL_Rc4AcquireContext(b.key.data(), -1, nullptr, 0, 0, &ctx);
       }, L},
      {"Rc4 acquire null key", [](Buffers&) {
         Rc4Ctx* ctx = nullptr;
         return NORV_DAL_Rc4AcquireContext(nullptr, 16, nullptr, 0, 0, &ctx);
       }, P},
      {"Rc4 acquire null ctx out",
       [](Buffers& b) { return NORV_DAL_Rc4AcquireContext(b.key.data(), 16, nullptr, 0, 0, nullptr); }, P},
      {"Rc4 Update null ctx",
       [](Buffers& b) { return NORV_DAL_Rc4Update(nullptr, b.in.data(), 16, b.out.data(), &b.u); }, P},
      {"Rc4 Encrypt null ctx",
       [](Buffers& b) { return NORV_DAL_Rc4Encrypt(nullptr, b.in.data(), 16, b.out.data(), &b.u); }, P},
      {"Rc4 Final null ctx", [](Buffers& b) { return NORV_DAL_Rc4Final(nullptr, b.out.data(), &b.u); }, P},
      {"Rc4 ReleaseCtx null", [](Buffers&) { return NORV_DAL_Rc4ReleaseCtx(nullptr); }, 0},
  };
  rows.insert(rows.end(), rc4.begin(), rc4.end());
  return rows;
}

std::vector<Row> deviceRows() {
  return {
      {"GetErrMsg null", [](Buffers&) { return NORV_DAL_GetErrMsg(-500, nullptr); }, P},
      {"GetFunctionList null", [](Buffers&) { return NORV_DAL_GetFunctionList(nullptr); }, P},
      {"CreateMutex null", [](Buffers&) { return NORV_DAL_CreateMutex(nullptr); }, P},
      {"LockMutex null", [](Buffers&) { return NORV_DAL_LockMutex(nullptr); }, P},
      {"UnLockMutex null", [](Buffers&) { return NORV_DAL_UnLockMutex(nullptr); }, P},
      {"DestroyMutex null", [](Buffers&) { return NORV_DAL_DestroyMutex(nullptr); }, 0},
  };
}

std::vector<Row> allRows() {
  std::vector<Row> rows;
  for (auto part : {deviceRows(), pinRows(), fileRows(), keyRows(), softRsaRows("RsaPublicKeyRaw", &NORV_DAL_RsaPublicKeyRaw),
                    softRsaRows("Pkcs1RsaPublicKeyEnc", &NORV_DAL_Pkcs1RsaPublicKeyEnc),
                    softRsaRows("Pkcs1RsaPublicKeyDec", &NORV_DAL_Pkcs1RsaPublicKeyDec), cipherRows()}) {
    rows.insert(rows.end(), part.begin(), part.end());
  }
  return rows;
}

class BadInput : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override { scripted::reset(); }
};

TEST_P(BadInput, IsRefusedWithItsCodeBeforeReachingTheCard) {
  Buffers buffers;
  const Buffers untouched = buffers;
  EXPECT_EQ(GetParam().call(buffers), GetParam().expected);
  EXPECT_TRUE(scripted::commands().empty()) << scripted::commands().size() << " commands sent";
  EXPECT_EQ(buffers.out, untouched.out) << "a refused call wrote output";
  EXPECT_EQ(buffers.a, untouched.a);
  EXPECT_EQ(buffers.b, untouched.b);
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
  std::string name;
  for (char c : info.param.name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Exports, BadInput, ::testing::ValuesIn(allRows()), rowName);

}  // namespace

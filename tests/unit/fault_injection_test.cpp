// Every token operation against a real card image, with each of its
// commands failing in turn in each way a device fails: the operation must
// report the failure with its own code, write no output it must not, and
// report success only where a failed step is one whose outcome is ignored.
#include <gtest/gtest.h>

#include <openssl/core_names.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "norv_dal_tkp30.h"
#include "support/fault_card.h"
#include "support/rsa_test_keys.h"

namespace {

using fault::Bytes;
using fault::Failure;

const Bytes kSuper = {'1', '1', '2', '2', '3', '3', '4', '4'};
const Bytes kUser = {'6', '5', '4', '3', '2', '1'};
const Bytes kNewUser = {'1', '3', '5', '7', '9', '0', '2', '4'};
const Bytes kSsfKey = Bytes(16, 0x3C);
constexpr std::uint8_t kSentinel = 0xA5;
constexpr std::int32_t kIntSentinel = 0x5A5A5A5A;
constexpr std::int32_t kUserFileType = 2, kUserFileIndex = 5;

std::int32_t len(const Bytes& b) { return static_cast<std::int32_t>(b.size()); }

// What the library must report when command k of an operation fails.
struct Expect {
  enum Kind { Code, Status, Nonzero, Success, Anything } kind = Code;
  std::int32_t code = 0;
  bool clean = false;  // outputs must hold no data from the failed call
};
Expect code(std::int32_t c, bool clean = false) { return {Expect::Code, c, clean}; }
Expect status() { return {Expect::Status, 0, false}; }  // the card's status word itself
Expect nonzero(bool clean = false) { return {Expect::Nonzero, 0, clean}; }
Expect success() { return {Expect::Success, 0, false}; }
Expect anything() { return {Expect::Anything, 0, false}; }

// State that an operation's preconditions hand to the operation.
struct Case {
  std::size_t failing = 0;  // k, 0 for the run without a fault
  SSF33Ctx* ctx = nullptr;
  ~Case() { NORV_DAL_SSF33ReleaseCtx(ctx); }
};

struct Outcome {
  std::int32_t rc;
  bool clean;  // outputs are as a failed call must leave them
};

struct Operation {
  const char* name;
  std::function<void(Case&)> setup;  // preconditions, no fault injected
  std::function<Outcome(Case&)> run;
  std::function<Expect(std::size_t k, const Bytes& command)> expect;
};
void PrintTo(const Operation& op, std::ostream* os) { *os << op.name; }

bool all(const Bytes& b, std::size_t from, std::uint8_t v) {
  return std::all_of(b.begin() + static_cast<long>(std::min(from, b.size())), b.end(),
                     [v](std::uint8_t x) { return x == v; });
}

void login(Case&) { ASSERT_EQ(NORV_DAL_Login(NORV_DAL_LOGIN_USER, kUser.data(), len(kUser)), 0); }
void noSetup(Case&) {}
void createGlobalInfo(Case& c) {
  login(c);
  ASSERT_EQ(NORV_DAL_CreateGlobalInfoFile(300), 0);
}

// A key pair made by libcrypto, for the import.
struct ImportKey {
  Bytes n, p, q, dp, dq, qinv;
  ImportKey() {
    auto key = rsatest::generate(1024);
    n = rsatest::modulus(key.get());
    p = rsatest::param(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR1, 64);
    q = rsatest::param(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR2, 64);
    dp = rsatest::param(key.get(), OSSL_PKEY_PARAM_RSA_EXPONENT1, 64);
    dq = rsatest::param(key.get(), OSSL_PKEY_PARAM_RSA_EXPONENT2, 64);
    qinv = rsatest::param(key.get(), OSSL_PKEY_PARAM_RSA_COEFFICIENT1, 64);
  }
};
const ImportKey& importKey() {
  static const ImportKey key;
  return key;
}

Bytes& ssfCiphertext() {  // 48 bytes of SSF33 ECB ciphertext under kSsfKey, made at preparation
  static Bytes text;
  return text;
}

void acquire(Case& c, std::int32_t encFlag) {
  login(c);
  ASSERT_EQ(NORV_DAL_SSF33AcquireContext(kSsfKey.data(), len(kSsfKey), nullptr,
                                         NORV_DAL_MODE_ECB, encFlag, &c.ctx),
            0);
}

Outcome format(Case&) {
  return {NORV_DAL_FormatDevice(kSuper.data(), len(kSuper), kUser.data(), len(kUser)), true};
}

// Formatting: the first four steps and everything after the user PIN are
// not examined; the MF, key file and key writes return the card's status.
Expect formatExpect(std::size_t k, const Bytes&) {
  if (k <= 4) return anything();
  if (k <= 15) return status();
  return success();
}

Outcome isLogin(Case&) {
  std::int32_t flag = kIntSentinel;
  const std::int32_t rc = NORV_DAL_IsLogin(NORV_DAL_LOGIN_USER, &flag);
  return {rc, flag == 0};
}

Outcome readGlobal(Case& c) {
  Bytes out(200, kSentinel);
  const std::int32_t rc = NORV_DAL_ReadGlobalInfoFile(0, len(out), out.data());
  // Chunks of 128 bytes that completed before the failing read may land.
  const std::size_t landed = c.failing > 2 ? 128 * (c.failing - 2) : 0;
  return {rc, all(out, landed, kSentinel)};
}

Outcome writeGlobal(Case&) {
  const Bytes data(200, 0x11);
  return {NORV_DAL_WriteGlobalInfoFile(0, len(data), data.data()), true};
}

Outcome readUser(Case&) {
  Bytes out(10, kSentinel);
  const std::int32_t rc =
      NORV_DAL_ReadUsrDataFile(kUserFileType, kUserFileIndex, 0, len(out), out.data());
  return {rc, all(out, 0, kSentinel)};
}

Outcome writeUser(Case&) {
  const Bytes data(10, 0x22);
  return {NORV_DAL_WriteUsrDataFile(kUserFileType, kUserFileIndex, 0, len(data), data.data()),
          true};
}

Outcome genKeyPair(Case&) {
  std::int32_t pub = kIntSentinel, pri = kIntSentinel;
  const std::int32_t rc = NORV_DAL_GenRsaKeyPair(1024, &pub, &pri);
  return {rc, pub == kIntSentinel && pri == kIntSentinel};
}

Outcome importKeyPair(Case&) {
  const ImportKey& k = importKey();
  std::int32_t pub = kIntSentinel, pri = kIntSentinel;
  const std::int32_t rc = NORV_DAL_ImportRsaKeyPair(0, k.n.data(), 0, k.p.data(), k.q.data(),
                                                    k.dp.data(), k.dq.data(), k.qinv.data(),
                                                    &pub, &pri);
  return {rc, pub == kIntSentinel && pri == kIntSentinel};
}

// Key-pair calls: the counter decides the slot (outputs untouched when it
// cannot be read); a failed key command is -123; a counter that cannot
// be written back must not pass for success, or the slot is given twice.
Expect keyPairExpect(std::size_t k, const Bytes&, std::size_t keyCommands) {
  if (k <= 2) return code(NORV_DAL_ERR_READ_FILE, true);
  if (k <= 2 + keyCommands) return code(NORV_DAL_ERR_CREATE_FILE);
  return code(NORV_DAL_ERR_WRITE_FILE);
}

Outcome publicKey(Case&) {
  Bytes out(128, kSentinel);
  std::int32_t outLen = kIntSentinel;
  const std::int32_t rc = NORV_DAL_GetPublicKey(0x0800, out.data(), &outLen);
  return {rc, all(out, 0, kSentinel) && outLen == kIntSentinel};
}

Outcome privateOp(Case&) {
  Bytes in(128, 0x00);
  in[127] = 0x02;
  Bytes out(128, kSentinel);
  std::int32_t outLen = kIntSentinel;
  const std::int32_t rc = NORV_DAL_RsaPrivateKeyRaw(0x0820, in.data(), len(in), out.data(), &outLen);
  return {rc, all(out, 0, kSentinel) && outLen == kIntSentinel};
}

Outcome random8(Case&) {
  Bytes out(8, kSentinel);
  const std::int32_t rc = NORV_DAL_GenRand(len(out), out.data());
  return {rc, all(out, 0, kSentinel)};
}

Outcome random100(Case&) {
  Bytes out(100, kSentinel);
  return {NORV_DAL_GenRand(len(out), out.data()), true};
}

Outcome ssfAcquire(Case& c) {
  const std::int32_t rc = NORV_DAL_SSF33AcquireContext(kSsfKey.data(), len(kSsfKey), nullptr,
                                                       NORV_DAL_MODE_ECB, 1, &c.ctx);
  return {rc, rc == 0 || c.ctx == nullptr};
}

Outcome ssfEncrypt(Case& c) {
  const Bytes in(40, 0x33);
  Bytes out(48, kSentinel);
  std::uint32_t outLen = 0xA5A5A5A5;
  const std::int32_t rc = NORV_DAL_SSF33Encrypt(c.ctx, in.data(), 40, out.data(), &outLen);
  return {rc, outLen == 0xA5A5A5A5};
}

Outcome ssfDecrypt(Case& c) {
  const Bytes& in = ssfCiphertext();
  Bytes out(48, kSentinel);
  std::uint32_t outLen = 0xA5A5A5A5;
  const std::int32_t rc = NORV_DAL_SSF33Decrypt(c.ctx, in.data(), static_cast<std::uint32_t>(in.size()),
                                                out.data(), &outLen);
  return {rc, outLen == 0xA5A5A5A5};
}

Outcome ssfMac(Case& c) {
  const Bytes in(40, 0x44);
  Bytes mac(16, kSentinel);
  const std::int32_t rc = NORV_DAL_SSF33Mac(c.ctx, in.data(), 40, mac.data(), 16);
  return {rc, all(mac, 0, kSentinel)};
}

// SSF33 END after an encryption or a MAC is never examined.
Expect ssfExpect(std::size_t, const Bytes& command, bool clean) {
  if (command.size() >= 2 && command[1] == 0xC6) return success();
  return code(NORV_DAL_ERR_SSF33, clean);
}

std::vector<Operation> operations() {
  using std::placeholders::_1;
  using std::placeholders::_2;
  auto fixed = [](Expect e) { return [e](std::size_t, const Bytes&) { return e; }; };
  return {
      {"FormatDevice", noSetup, format, formatExpect},
      {"Login", noSetup,
       [](Case&) { return Outcome{NORV_DAL_Login(NORV_DAL_LOGIN_USER, kUser.data(), len(kUser)), true}; },
       fixed(code(NORV_DAL_ERR_LOGIN))},
      {"Logout", login, [](Case&) { return Outcome{NORV_DAL_Logout(NORV_DAL_LOGIN_USER), true}; },
       fixed(code(NORV_DAL_ERR_LOGOUT))},
      {"IsLogin", login, isLogin,
       [](std::size_t k, const Bytes&) { return k == 1 ? code(NORV_DAL_ERR_OTHER, true) : code(0, true); }},
      {"ChangePin", login,
       [](Case&) {
         return Outcome{NORV_DAL_ChangePin(NORV_DAL_LOGIN_USER, kUser.data(), len(kUser),
                                           kNewUser.data(), len(kNewUser)),
                        true};
       },
       fixed(code(NORV_DAL_ERR_CHANGE_PIN))},
      {"UnlockPin", noSetup,
       [](Case&) {
         return Outcome{NORV_DAL_UnlockPin(kSuper.data(), len(kSuper), kNewUser.data(), len(kNewUser)),
                        true};
       },
       [](std::size_t k, const Bytes&) {
         return k == 1 ? code(NORV_DAL_ERR_UNLOCK_SUPER_PIN) : code(NORV_DAL_ERR_UNLOCK_PIN);
       }},
      {"CreateGlobalInfoFile", login,
       [](Case&) { return Outcome{NORV_DAL_CreateGlobalInfoFile(300), true}; },
       fixed(code(NORV_DAL_ERR_CREATE_FILE))},
      {"ReadGlobalInfoFile", createGlobalInfo, readGlobal, fixed(code(NORV_DAL_ERR_READ_FILE, true))},
      {"WriteGlobalInfoFile", createGlobalInfo, writeGlobal, fixed(code(NORV_DAL_ERR_WRITE_FILE))},
      {"CreateUsrDataFile", login,
       [](Case&) { return Outcome{NORV_DAL_CreateUsrDataFile(kUserFileType, 6, 50, 1, 1), true}; },
       [](std::size_t k, const Bytes&) {
         return k == 1 ? code(NORV_DAL_ERR_CREATE_FILE) : code(NORV_DAL_ERR_WRITE_FILE);
       }},
      {"ReadUsrDataFile", login, readUser, fixed(code(NORV_DAL_ERR_READ_FILE, true))},
      {"WriteUsrDataFile", login, writeUser,
       [](std::size_t k, const Bytes&) {
         // A failed selection stops the write before it can reach another file.
         return k == 2 ? code(NORV_DAL_ERR_READ_FILE) : code(NORV_DAL_ERR_WRITE_FILE);
       }},
      {"DeleteUsrDataFile", login,
       [](Case&) { return Outcome{NORV_DAL_DeleteUsrDataFile(kUserFileType, kUserFileIndex), true}; },
       fixed(code(NORV_DAL_ERR_DELETE_FILE))},
      {"GenRsaKeyPair", login, genKeyPair, std::bind(keyPairExpect, _1, _2, 1)},
      {"ImportRsaKeyPair", login, importKeyPair, std::bind(keyPairExpect, _1, _2, 9)},
      {"GetPublicKey", login, publicKey, fixed(nonzero(true))},
      {"RsaPrivateKeyRaw", login, privateOp, fixed(code(NORV_DAL_ERR_RSA, true))},
      {"GenRand8", login, random8, fixed(code(NORV_DAL_ERR_GEN_RAND, true))},
      {"GenRand100", login, random100, fixed(code(NORV_DAL_ERR_GEN_RAND))},
      {"SSF33AcquireContext", login, ssfAcquire, fixed(code(NORV_DAL_ERR_NOT_SUPPORTED, true))},
      {"SSF33Encrypt", [](Case& c) { acquire(c, 1); }, ssfEncrypt, std::bind(ssfExpect, _1, _2, true)},
      {"SSF33Decrypt", [](Case& c) { acquire(c, 0); }, ssfDecrypt, std::bind(ssfExpect, _1, _2, true)},
      {"SSF33Mac", [](Case& c) { acquire(c, 1); }, ssfMac, std::bind(ssfExpect, _1, _2, true)},
  };
}

class FaultInjection : public ::testing::TestWithParam<Operation> {
 protected:
  static void SetUpTestSuite() {
    image_ = new fault::CardImage;
    image_->connect();
    prepare();
    image_->save();
  }
  static void TearDownTestSuite() {
    delete image_;
    image_ = nullptr;
  }

  // The token every case starts from: formatted, a user data file with
  // data in it, one key pair, and an SSF33 ciphertext for the decryption.
  static void prepare() {
    ASSERT_EQ(NORV_DAL_FormatDevice(kSuper.data(), len(kSuper), kUser.data(), len(kUser)), 0);
    ASSERT_EQ(NORV_DAL_Login(NORV_DAL_LOGIN_USER, kUser.data(), len(kUser)), 0);
    ASSERT_EQ(NORV_DAL_CreateUsrDataFile(kUserFileType, kUserFileIndex, 100, 1, 1), 0);
    const Bytes data(10, 0x5C);
    ASSERT_EQ(NORV_DAL_WriteUsrDataFile(kUserFileType, kUserFileIndex, 0, 10, data.data()), 0);
    std::int32_t pub = 0, pri = 0;
    ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), 0);
    SSF33Ctx* ctx = nullptr;
    ASSERT_EQ(NORV_DAL_SSF33AcquireContext(kSsfKey.data(), 16, nullptr, NORV_DAL_MODE_ECB, 1, &ctx), 0);
    const Bytes plain(40, 0x33);
    Bytes& cipher = ssfCiphertext();
    cipher.assign(48, 0);
    std::uint32_t n = 0;
    ASSERT_EQ(NORV_DAL_SSF33Encrypt(ctx, plain.data(), 40, cipher.data(), &n), 0);
    NORV_DAL_SSF33ReleaseCtx(ctx);
    ASSERT_EQ(n, 48u);
  }

  // Runs `op` from the prepared token with command k failing; the commands
  // the operation itself sent, as the card saw them.
  static Outcome runCase(const Operation& op, std::size_t k, Failure failure,
                         std::vector<fault::Exchange>* sent) {
    image_->restore();
    Case c;
    op.setup(c);
    image_->inject(k, failure);
    c.failing = k;
    const Outcome outcome = op.run(c);
    if (sent) *sent = image_->log();
    return outcome;
  }

  static fault::CardImage* image_;
};
fault::CardImage* FaultInjection::image_ = nullptr;

void check(const Expect& e, Failure failure, const Outcome& o) {
  switch (e.kind) {
    case Expect::Code: EXPECT_EQ(o.rc, e.code); break;
    case Expect::Status:
      if (failure == Failure::NotCarried) {
        EXPECT_NE(o.rc, 0);
      } else {
        EXPECT_EQ(o.rc, fault::kRefusal);
      }
      break;
    case Expect::Nonzero: EXPECT_NE(o.rc, 0); break;
    case Expect::Success: EXPECT_EQ(o.rc, 0); break;
    case Expect::Anything: break;
  }
  if (e.clean) {
    EXPECT_TRUE(o.clean) << "the failed call wrote output";
  }
}

TEST_P(FaultInjection, EveryCommandFailsCleanlyInEveryWay) {
  const Operation& op = GetParam();
  std::vector<fault::Exchange> baseline;
  const Outcome ok = runCase(op, 0, Failure::Refused, &baseline);
  ASSERT_EQ(ok.rc, 0) << op.name << " fails without a fault";
  ASSERT_FALSE(baseline.empty()) << op.name;
  std::size_t cases = 0;
  for (std::size_t k = 1; k <= baseline.size(); ++k) {
    for (Failure failure : fault::kFailures) {
      // A short answer needs response data to cut.
      if (failure == Failure::ShortResponse && baseline[k - 1].responseBytes == 0) {
        continue;
      }
      SCOPED_TRACE(testing::Message() << op.name << ", command " << k << " of "
                                      << baseline.size() << ", " << fault::name(failure));
      check(op.expect(k, baseline[k - 1].command), failure, runCase(op, k, failure, nullptr));
      ++cases;
      if (HasFatalFailure()) return;
    }
  }
  RecordProperty("cases", static_cast<int>(cases));
  std::printf("fault injection: %s, %zu commands, %zu cases\n", op.name, baseline.size(), cases);
}

INSTANTIATE_TEST_SUITE_P(TokenOperations, FaultInjection, ::testing::ValuesIn(operations()),
                         [](const ::testing::TestParamInfo<Operation>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace

// SSF33 on the emulated token, with and without its T=0 behaviour: round
// trips in random pieces, the token's output against a software SM4 of
// the same key, the MAC, commands per block, and a refused key load.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "norv_dal_tkp30.h"
#include "support/cipher_family.h"
#include "support/e2e_token.h"
#include "support/test_os.h"

namespace {

using ciphertest::Bytes;
using ciphertest::hex;

const Bytes kKey = hex("0123456789abcdeffedcba9876543210");
const Bytes kIv = hex("000102030405060708090a0b0c0d0e0f");
constexpr char kT0Variable[] = "TKP30_E2E_T0";

// Software SM4 with PKCS #7 padding (ECB when `iv` is empty).
Bytes sm4(const Bytes& data, const Bytes& iv) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      EVP_CIPHER_CTX_free);
  const EVP_CIPHER* cipher = EVP_get_cipherbyname(iv.empty() ? "SM4-ECB" : "SM4-CBC");
  if (cipher == nullptr || !EVP_EncryptInit_ex(ctx.get(), cipher, nullptr, kKey.data(),
                                               iv.empty() ? nullptr : iv.data()))
    return {};
  Bytes out(data.size() + 16);
  int n = 0, f = 0;
  if (!EVP_EncryptUpdate(ctx.get(), out.data(), &n, data.data(), static_cast<int>(data.size())) ||
      !EVP_EncryptFinal_ex(ctx.get(), out.data() + n, &f))
    return {};
  out.resize(static_cast<std::size_t>(n + f));
  return out;
}

// The CBC-MAC as software computes it: last block of SM4-CBC from zero.
Bytes referenceMac(const Bytes& data) {
  const Bytes all = sm4(data, Bytes(16, 0));
  return Bytes(all.end() - 16, all.end());
}

class Ssf33E2eTest : public e2e::TokenTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    const char* before = std::getenv(kT0Variable);
    saved_ = before ? std::optional<std::string>(before) : std::nullopt;
    if (GetParam()) testos::setEnv(kT0Variable, "1");
    e2e::TokenTest::SetUp();
    restoreT0();
  }
  void TearDown() override {
    testos::unsetEnv("TKP30_TRACE");
    e2e::TokenTest::TearDown();
  }
  void restoreT0() {
    if (saved_)
      testos::setEnv(kT0Variable, saved_->c_str());
    else
      testos::unsetEnv(kT0Variable);
  }
  bool t0() const { return GetParam() || (saved_ && *saved_ == "1"); }

  using CtxPtr = std::unique_ptr<SSF33Ctx, int32_t (*)(SSF33Ctx*)>;
  static CtxPtr acquire(int32_t mode, int32_t encFlag) {
    SSF33Ctx* ctx = nullptr;
    EXPECT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 16, kIv.data(), mode, encFlag, &ctx), 0);
    return CtxPtr(ctx, NORV_DAL_SSF33ReleaseCtx);
  }

  std::optional<std::string> saved_;
};

const auto kSsf33 = CIPHERTEST_FAMILY(SSF33, SSF33Ctx);

TEST_P(Ssf33E2eTest, RoundTripsInRandomPiecesMatchSoftwareSm4) {
  if (!emulated()) GTEST_SKIP() << "compares with SM4, which only the emulated token computes";
  std::mt19937 rng(GetParam() ? 33 : 34);
  std::vector<std::size_t> lengths = {0, 1, 15, 16, 17, 32, 1000};
  for (int i = 0; i < 6; ++i)
    lengths.push_back(std::uniform_int_distribution<std::size_t>(0, 1000)(rng));
  for (int32_t mode : {1, 2}) {
    for (std::size_t len : lengths) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " length " << len);
      const Bytes data = ciphertest::randomBytes(len, rng);
      int32_t rv = 0;
      const Bytes ct = ciphertest::oneShot(kSsf33.encrypt, acquire(mode, 1).get(), data, rv);
      ASSERT_EQ(rv, 0);
      EXPECT_EQ(ct, sm4(data, mode == 2 ? kIv : Bytes{}));
      EXPECT_EQ(ciphertest::streamed(kSsf33.encUpdate, kSsf33.encFinal, acquire(mode, 1).get(),
                                     data, ciphertest::randomChunks(len, rng), rv),
                ct);
      EXPECT_TRUE(ciphertest::oneShot(kSsf33.decrypt, acquire(mode, 0).get(), ct, rv) == data);
      EXPECT_TRUE(ciphertest::streamed(kSsf33.decUpdate, kSsf33.decFinal, acquire(mode, 0).get(),
                                       ct, ciphertest::randomChunks(ct.size(), rng), rv) == data);
    }
  }
}

TEST_P(Ssf33E2eTest, MacIsTheCbcMacWhateverThePieces) {
  if (!emulated()) GTEST_SKIP() << "compares with SM4, which only the emulated token computes";
  std::mt19937 rng(7);
  for (std::size_t len : {0u, 16u, 32u, 100u, 999u}) {
    SCOPED_TRACE(len);
    const Bytes data = ciphertest::randomBytes(len, rng);
    Bytes whole(16), pieces(16);
    ASSERT_EQ(NORV_DAL_SSF33Mac(acquire(1, 1).get(), data.data(), static_cast<uint32_t>(len),
                                whole.data(), 16),
              0);
    EXPECT_EQ(whole, referenceMac(data));
    auto ctx = acquire(1, 1);
    std::size_t at = 0;
    for (std::size_t piece : ciphertest::randomChunks(len, rng)) {
      ASSERT_EQ(NORV_DAL_SSF33MacUpdate(ctx.get(), data.data() + at, static_cast<uint32_t>(piece)),
                0);
      at += piece;
    }
    ASSERT_EQ(NORV_DAL_SSF33MacFinal(ctx.get(), pieces.data(), 8), 0);
    EXPECT_EQ(Bytes(pieces.begin(), pieces.begin() + 8), Bytes(whole.begin(), whole.begin() + 8));
  }
}

TEST_P(Ssf33E2eTest, EveryBlockIsOneCommandPlusGetResponseUnderT0) {
  const std::string trace = imagePath().empty() ? "" : imagePath() + ".trace";
  if (trace.empty()) GTEST_SKIP() << "counts commands through the emulated token's trace";
  auto ctx = acquire(2, 1);
  testos::setEnv("TKP30_TRACE", trace.c_str());
  Bytes out(64);
  uint32_t n = 0;
  ASSERT_EQ(NORV_DAL_SSF33Encrypt(ctx.get(), Bytes(40, 9).data(), 40, out.data(), &n), 0);
  testos::unsetEnv("TKP30_TRACE");
  EXPECT_EQ(n, 48u);
  std::ifstream lines(trace);
  int commands = 0;
  char firstOut[16];
  std::snprintf(firstOut, sizeof firstOut, " %02X %02X %02X", out[0], out[1], out[2]);
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" > ") != std::string::npos) ++commands;
    // Neither the plaintext nor the token's output appears: the data of
    // each block, and of the GET RESPONSE that fetches its result, are masked.
    EXPECT_EQ(line.find(" 09 09 09"), std::string::npos) << line;
    EXPECT_EQ(line.find(firstOut), std::string::npos) << line;
  }
  const int perBlock = t0() ? 2 : 1;
  EXPECT_EQ(commands, 3 * perBlock + 1);  // three blocks, then END
}

TEST_P(Ssf33E2eTest, RefusedKeyLoadLeavesTheContextPointer) {
  if (!emulated()) GTEST_SKIP() << "relies on the emulated token refusing a short key";
  SSF33Ctx* ctx = reinterpret_cast<SSF33Ctx*>(0x5A5A);
  EXPECT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 8, nullptr, 1, 1, &ctx),
            NORV_DAL_ERR_NOT_SUPPORTED);
  EXPECT_EQ(ctx, reinterpret_cast<SSF33Ctx*>(0x5A5A));
  // END closes the token's cipher: a block after the final is refused.
  auto loaded = acquire(1, 1);
  Bytes out(32);
  uint32_t n = 0;
  EXPECT_EQ(NORV_DAL_SSF33Encrypt(loaded.get(), kIv.data(), 16, out.data(), &n), 0);
  EXPECT_EQ(NORV_DAL_SSF33EncUpdate(loaded.get(), kIv.data(), 16, out.data(), &n),
            NORV_DAL_ERR_SSF33);
}

INSTANTIATE_TEST_SUITE_P(Transport, Ssf33E2eTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return param.param ? "T0" : "Direct";
                         });

}  // namespace

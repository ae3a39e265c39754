// Random messages through every software family and mode: streaming in
// random pieces equals the one-shot calls, decryption inverts encryption,
// and the MAC does not depend on how the message is cut.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "norv_dal_tkp30.h"
#include "support/cipher_family.h"

namespace {

using ciphertest::Bytes;
using ciphertest::ContextSetup;
using ciphertest::Family;

std::vector<std::size_t> lengths(std::mt19937& rng) {
  std::vector<std::size_t> out = {0, 1, 7, 8, 9, 15, 16, 17, 1000};
  std::uniform_int_distribution<std::size_t> any(0, 1000);
  for (int i = 0; i < 40; ++i) out.push_back(any(rng));
  return out;
}

template <typename Ctx>
struct Fresh {
  const Family<Ctx>& f;
  const ContextSetup& s;
  std::unique_ptr<Ctx, typename ciphertest::Family<Ctx>::Release> operator()() const {
    return {ciphertest::acquire(f, s, 1), f.release};
  }
};

template <typename Ctx>
void roundTrips(const Family<Ctx>& f, const ContextSetup& s, std::uint32_t seed) {
  std::mt19937 rng(seed);
  const Fresh<Ctx> fresh{f, s};
  for (std::size_t len : lengths(rng)) {
    SCOPED_TRACE(len);
    const Bytes data = ciphertest::randomBytes(len, rng);
    int32_t rv = 0;
    const Bytes ct = ciphertest::oneShot(f.encrypt, fresh().get(), data, rv);
    ASSERT_EQ(rv, 0);
    ASSERT_EQ(ct.size(), (len / 8 + 1) * 8);
    EXPECT_EQ(ciphertest::streamed(f.encUpdate, f.encFinal, fresh().get(), data,
                                   ciphertest::randomChunks(len, rng), rv),
              ct);
    EXPECT_TRUE(ciphertest::oneShot(f.decrypt, fresh().get(), ct, rv) == data);
    EXPECT_TRUE(ciphertest::streamed(f.decUpdate, f.decFinal, fresh().get(), ct,
                                     ciphertest::randomChunks(ct.size(), rng), rv) == data);
    EXPECT_EQ(rv, 0);

    Bytes whole(8), pieces(8);
    ASSERT_EQ(f.mac(fresh().get(), data.data(), static_cast<uint32_t>(len), whole.data(), 8), 0);
    auto ctx = fresh();
    std::size_t at = 0;
    for (std::size_t piece : ciphertest::randomChunks(len, rng)) {
      ASSERT_EQ(f.macUpdate(ctx.get(), data.data() + at, static_cast<uint32_t>(piece)), 0);
      at += piece;
    }
    ASSERT_EQ(f.macFinal(ctx.get(), pieces.data(), 8), 0);
    EXPECT_EQ(whole, pieces);
  }
}

const Bytes kIv = {9, 8, 7, 6, 5, 4, 3, 2};
const Bytes k24 = {1,  2,  3,  4,  5,  6,  7,  8,  11, 12, 13, 14,
                   15, 16, 17, 18, 21, 22, 23, 24, 25, 26, 27, 28};

TEST(CipherRoundTrip, DesEveryKeyFormAndMode) {
  const auto des = CIPHERTEST_FAMILY(Des, DesCtx);
  std::uint32_t seed = 1;
  for (std::size_t keyLen : {8u, 16u, 24u}) {
    for (int32_t mode : {1, 2}) {
      SCOPED_TRACE(testing::Message() << "keyLen " << keyLen << " mode " << mode);
      roundTrips(des,
                 ContextSetup{Bytes(k24.begin(), k24.begin() + static_cast<std::ptrdiff_t>(keyLen)),
                              kIv, mode, 1},
                 seed++);
    }
  }
}

TEST(CipherRoundTrip, Rc2EveryMode) {
  const auto rc2 = CIPHERTEST_FAMILY(Rc2, Rc2Ctx);
  for (int32_t mode : {1, 2}) {
    SCOPED_TRACE(mode);
    roundTrips(rc2, ContextSetup{Bytes(k24.begin(), k24.begin() + 13), kIv, mode, 1},
               static_cast<std::uint32_t>(10 + mode));
  }
}

TEST(CipherRoundTrip, Rc4PiecesEqualOneCall) {
  std::mt19937 rng(42);
  using Ptr = std::unique_ptr<Rc4Ctx, int32_t (*)(void*)>;
  auto fresh = [] {
    Rc4Ctx* ctx = nullptr;
    EXPECT_EQ(NORV_DAL_Rc4AcquireContext(k24.data(), 7, nullptr, 0, 0, &ctx), 0);
    return Ptr(ctx, NORV_DAL_Rc4ReleaseCtx);
  };
  for (std::size_t len : lengths(rng)) {
    const Bytes data = ciphertest::randomBytes(len, rng);
    int32_t rv = 0;
    const Bytes ct = ciphertest::oneShot(NORV_DAL_Rc4Encrypt, fresh().get(), data, rv);
    ASSERT_EQ(ct.size(), len);
    EXPECT_EQ(ciphertest::streamed(NORV_DAL_Rc4Update, NORV_DAL_Rc4Final, fresh().get(), data,
                                   ciphertest::randomChunks(len, rng), rv),
              ct);
    EXPECT_TRUE(ciphertest::oneShot(NORV_DAL_Rc4Update, fresh().get(), ct, rv) == data);
  }
}

}  // namespace

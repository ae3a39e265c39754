// Cipher contexts misused by a careless caller: another family's context,
// a released one, a second release, two threads on one context. Each is
// refused before anything is read or written.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "norv_dal_tkp30.h"
#include "support/cipher_family.h"
#include "support/scripted_device.h"

namespace {

using ciphertest::Bytes;

constexpr std::uint8_t kUntouched = 0xEE;
constexpr std::uint32_t kNoCount = 0xDEADBEEF;

const Bytes kKey(16, 0x42);
const Bytes kIv(16, 0x24);

const auto kSsf33 = CIPHERTEST_FAMILY(SSF33, SSF33Ctx);
const auto kDes = CIPHERTEST_FAMILY(Des, DesCtx);
const auto kRc2 = CIPHERTEST_FAMILY(Rc2, Rc2Ctx);

class ContextMisuse : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::reset();
    ASSERT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 16, kIv.data(), 2, 1, &ssf33_), 0);
    ASSERT_EQ(NORV_DAL_DesAcquireContext(kKey.data(), 16, kIv.data(), 2, 1, &des_), 0);
    ASSERT_EQ(NORV_DAL_Rc2AcquireContext(kKey.data(), 16, kIv.data(), 2, 1, &rc2_), 0);
    ASSERT_EQ(NORV_DAL_Rc4AcquireContext(kKey.data(), 16, nullptr, 0, 0, &rc4_), 0);
  }
  void TearDown() override {
    EXPECT_EQ(NORV_DAL_SSF33ReleaseCtx(ssf33_), 0);
    for (void* ctx : std::initializer_list<void*>{des_, rc2_, rc4_})
      EXPECT_EQ(NORV_DAL_DesReleaseCtx(ctx), 0);
  }

  // Every call of the family on `ctx`: each result, with the output and
  // its count checked untouched.
  template <typename Ctx>
  std::vector<std::int32_t> everyCall(const ciphertest::Family<Ctx>& f, Ctx* ctx) {
    const Bytes in(40, 0x11);
    const auto n = static_cast<std::uint32_t>(in.size());
    Bytes out(128, kUntouched);
    std::uint32_t count = kNoCount;
    std::vector<std::int32_t> results = {f.encUpdate(ctx, in.data(), n, out.data(), &count),
                                         f.encFinal(ctx, out.data(), &count),
                                         f.encrypt(ctx, in.data(), n, out.data(), &count),
                                         f.decUpdate(ctx, in.data(), n, out.data(), &count),
                                         f.decFinal(ctx, out.data(), &count),
                                         f.decrypt(ctx, in.data(), n, out.data(), &count),
                                         f.macUpdate(ctx, in.data(), n),
                                         f.macFinal(ctx, out.data(), 8),
                                         f.mac(ctx, in.data(), n, out.data(), 8)};
    EXPECT_EQ(out, Bytes(128, kUntouched));
    EXPECT_EQ(count, kNoCount);
    return results;
  }

  std::vector<std::int32_t> everyRc4Call(Rc4Ctx* ctx) {
    const Bytes in(40, 0x11);
    Bytes out(128, kUntouched);
    std::uint32_t count = kNoCount;
    std::vector<std::int32_t> results = {
        NORV_DAL_Rc4Update(ctx, in.data(), 40, out.data(), &count),
        NORV_DAL_Rc4Encrypt(ctx, in.data(), 40, out.data(), &count),
        NORV_DAL_Rc4Final(ctx, out.data(), &count)};
    EXPECT_EQ(out, Bytes(128, kUntouched));
    EXPECT_EQ(count, kNoCount);
    return results;
  }

  static std::vector<std::int32_t> refused(std::size_t calls) {
    return std::vector<std::int32_t>(calls, NORV_DAL_ERR_PARAM);
  }

  SSF33Ctx* ssf33_ = nullptr;
  DesCtx* des_ = nullptr;
  Rc2Ctx* rc2_ = nullptr;
  Rc4Ctx* rc4_ = nullptr;
};

template <typename To, typename From>
To* as(From* p) {
  return reinterpret_cast<To*>(p);
}

TEST_F(ContextMisuse, EveryCallRefusesAContextOfAnotherFamily) {
  const std::size_t sentBefore = scripted::commands().size();
  EXPECT_EQ(everyCall(kDes, as<DesCtx>(rc2_)), refused(9));
  EXPECT_EQ(everyCall(kDes, as<DesCtx>(ssf33_)), refused(9));
  EXPECT_EQ(everyCall(kRc2, as<Rc2Ctx>(des_)), refused(9));
  EXPECT_EQ(everyCall(kRc2, as<Rc2Ctx>(rc4_)), refused(9));
  EXPECT_EQ(everyCall(kSsf33, as<SSF33Ctx>(des_)), refused(9));
  EXPECT_EQ(everyCall(kSsf33, as<SSF33Ctx>(rc4_)), refused(9));
  EXPECT_EQ(everyRc4Call(as<Rc4Ctx>(rc2_)), refused(3));
  EXPECT_EQ(everyRc4Call(as<Rc4Ctx>(ssf33_)), refused(3));
  EXPECT_EQ(scripted::commands().size(), sentBefore) << "a refused SSF33 call reached the token";
  // Each release takes only its own families.
  EXPECT_EQ(NORV_DAL_SSF33ReleaseCtx(as<SSF33Ctx>(des_)), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_DesReleaseCtx(ssf33_), NORV_DAL_ERR_PARAM);
  alignas(16) std::uint8_t foreign[512] = {};
  EXPECT_EQ(everyCall(kDes, as<DesCtx>(foreign)), refused(9));
  EXPECT_EQ(NORV_DAL_Rc4ReleaseCtx(foreign), NORV_DAL_ERR_PARAM);
}

TEST_F(ContextMisuse, AReleasedContextIsDeadAndASecondReleaseFreesNothing) {
  DesCtx* old = des_;
  ASSERT_EQ(NORV_DAL_DesReleaseCtx(old), 0);
  ASSERT_EQ(NORV_DAL_DesAcquireContext(kKey.data(), 16, kIv.data(), 2, 1, &des_), 0);
  EXPECT_NE(des_, old) << "a released address was handed out again at once";
  EXPECT_EQ(everyCall(kDes, old), refused(9));
  EXPECT_EQ(NORV_DAL_DesReleaseCtx(old), NORV_DAL_ERR_PARAM);
  // The live context is intact and still releasable (in TearDown).
  Bytes out(16);
  std::uint32_t n = 0;
  EXPECT_EQ(NORV_DAL_DesEncrypt(des_, kKey.data(), 8, out.data(), &n), 0);
  EXPECT_EQ(n, 16u);

  SSF33Ctx* oldSsf33 = ssf33_;
  ASSERT_EQ(NORV_DAL_SSF33ReleaseCtx(oldSsf33), 0);
  ASSERT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 16, kIv.data(), 2, 1, &ssf33_), 0);
  EXPECT_EQ(everyCall(kSsf33, oldSsf33), refused(9));
  EXPECT_EQ(NORV_DAL_SSF33ReleaseCtx(oldSsf33), NORV_DAL_ERR_PARAM);
}

// While one call holds an SSF33 context (its block is at the token), a
// second call on it, or its release, is refused and changes nothing.
TEST_F(ContextMisuse, ASecondCallOnABusyContextIsRefused) {
  std::promise<void> atToken, letGo;
  std::shared_future<void> released = letGo.get_future().share();
  std::atomic<bool> first{true};
  scripted::setResponder([&, released](const Bytes&) {
    if (first.exchange(false)) {
      atToken.set_value();
      released.wait();
    }
    return scripted::Answer{0x9000, Bytes(16, 0xA5)};
  });
  std::uint32_t firstCount = 0;
  Bytes firstOut(16);
  std::future<std::int32_t> holder = std::async(std::launch::async, [&] {
    return NORV_DAL_SSF33EncUpdate(ssf33_, kKey.data(), 16, firstOut.data(), &firstCount);
  });
  atToken.get_future().wait();
  Bytes out(32, kUntouched);
  std::uint32_t count = kNoCount;
  EXPECT_EQ(NORV_DAL_SSF33EncUpdate(ssf33_, kKey.data(), 16, out.data(), &count),
            NORV_DAL_ERR_SYNC);
  EXPECT_EQ(NORV_DAL_SSF33EncFinal(ssf33_, out.data(), &count), NORV_DAL_ERR_SYNC);
  EXPECT_EQ(NORV_DAL_SSF33ReleaseCtx(ssf33_), NORV_DAL_ERR_SYNC);
  EXPECT_EQ(out, Bytes(32, kUntouched));
  EXPECT_EQ(count, kNoCount);
  letGo.set_value();
  EXPECT_EQ(holder.get(), 0);
  EXPECT_EQ(firstCount, 16u);
}

// Two threads hammering one software context: no crash, and every call
// either runs whole or is refused.
TEST_F(ContextMisuse, TwoThreadsOnOneContextNeverOverlap) {
  std::atomic<int> badResults{0};
  auto hammer = [&] {
    Bytes in(1024, 0x5C), out(1040);
    for (int i = 0; i < 2000; ++i) {
      std::uint32_t n = 0;
      const std::int32_t rv = NORV_DAL_Rc2Encrypt(rc2_, in.data(), 1024, out.data(), &n);
      if (rv != NORV_DAL_ERR_SYNC && (rv != 0 || n != 1032)) ++badResults;
    }
  };
  std::thread a(hammer), b(hammer);
  a.join();
  b.join();
  EXPECT_EQ(badResults.load(), 0);
}

}  // namespace

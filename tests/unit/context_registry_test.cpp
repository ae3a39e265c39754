// The registry's own ground, through the exported calls: a pointer inside
// a live context is no context, the registry keeps many contexts apart
// (more than its first allocation holds) while calls run on another
// thread, and a released address stays out of use for kQuarantined
// releases.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <set>
#include <thread>
#include <vector>

#include "ciphers/context_registry.h"
#include "norv_dal_tkp30.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kKey = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

Rc4Ctx* newRc4(std::uint8_t keyByte) {
  Bytes key = kKey;
  key[0] = keyByte;
  Rc4Ctx* ctx = nullptr;
  return NORV_DAL_Rc4AcquireContext(key.data(), 16, nullptr, 0, 0, &ctx) == 0 ? ctx : nullptr;
}

DesCtx* newDes() {
  DesCtx* ctx = nullptr;
  return NORV_DAL_DesAcquireContext(kKey.data(), 8, nullptr, 1, 1, &ctx) == 0 ? ctx : nullptr;
}

// The first 16 bytes of the key stream of a fresh context with this key.
Bytes keyStream(Rc4Ctx* ctx) {
  const Bytes zeros(16, 0);
  Bytes out(16);
  std::uint32_t n = 0;
  if (NORV_DAL_Rc4Update(ctx, zeros.data(), 16, out.data(), &n) != 0 || n != 16) return {};
  return out;
}

template <typename Ctx>
Ctx* shifted(Ctx* ctx, std::ptrdiff_t by) {
  return reinterpret_cast<Ctx*>(reinterpret_cast<std::uint8_t*>(ctx) + by);
}

TEST(ContextRegistry, APointerInsideALiveContextIsRefusedAndChangesNothing) {
  Rc4Ctx* ctx = newRc4(1);
  Rc4Ctx* twin = newRc4(1);
  ASSERT_NE(ctx, nullptr);
  ASSERT_NE(twin, nullptr);
  const Bytes in(16, 0);
  for (std::ptrdiff_t by : {1, 8, 16, 64, 1024}) {
    Bytes out(16, 0xEE);
    std::uint32_t n = 0xDEADBEEF;
    EXPECT_EQ(NORV_DAL_Rc4Update(shifted(ctx, by), in.data(), 16, out.data(), &n),
              NORV_DAL_ERR_PARAM)
        << by;
    EXPECT_EQ(out, Bytes(16, 0xEE));
    EXPECT_EQ(n, 0xDEADBEEF);
    EXPECT_EQ(NORV_DAL_Rc4ReleaseCtx(shifted(ctx, by)), NORV_DAL_ERR_PARAM) << by;
  }
  // The key stream did not move: the context is as a fresh one.
  EXPECT_EQ(keyStream(ctx), keyStream(twin));
  EXPECT_EQ(NORV_DAL_Rc4ReleaseCtx(ctx), 0);
  EXPECT_EQ(NORV_DAL_Rc4ReleaseCtx(twin), 0);
}

// Several hundred contexts spill past the registry's first allocation
// while another thread works on one of its own the whole time.
TEST(ContextRegistry, ManyContextsStayApartWhileAnotherThreadWorks) {
  Rc4Ctx* busy = newRc4(0);
  ASSERT_NE(busy, nullptr);
  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::thread worker([&] {
    Bytes in(64, 0x5C), out(64);
    while (!done.load()) {
      std::uint32_t n = 0;
      if (NORV_DAL_Rc4Update(busy, in.data(), 64, out.data(), &n) != 0 || n != 64) ++failures;
    }
  });
  std::vector<Rc4Ctx*> rc4;
  std::vector<DesCtx*> des;
  for (int i = 0; i < 300; ++i) {
    rc4.push_back(newRc4(static_cast<std::uint8_t>(i)));
    des.push_back(newDes());
  }
  done = true;
  worker.join();
  EXPECT_EQ(failures.load(), 0);
  ASSERT_EQ(std::count(rc4.begin(), rc4.end(), nullptr), 0);
  ASSERT_EQ(std::count(des.begin(), des.end(), nullptr), 0);
  std::set<void*> distinct(rc4.begin(), rc4.end());
  distinct.insert(des.begin(), des.end());
  EXPECT_EQ(distinct.size(), 600u);
  for (std::size_t i = 0; i < rc4.size(); ++i) {
    Rc4Ctx* fresh = newRc4(static_cast<std::uint8_t>(i));
    EXPECT_EQ(keyStream(rc4[i]), keyStream(fresh)) << i;
    Bytes out(16);
    std::uint32_t n = 0;
    EXPECT_EQ(
        NORV_DAL_DesEncUpdate(reinterpret_cast<DesCtx*>(rc4[i]), kKey.data(), 16, out.data(), &n),
        NORV_DAL_ERR_PARAM);
    EXPECT_EQ(NORV_DAL_Rc4ReleaseCtx(fresh), 0);
  }
  for (void* ctx : distinct) EXPECT_EQ(NORV_DAL_DesReleaseCtx(ctx), 0);
  for (void* ctx : distinct) EXPECT_EQ(NORV_DAL_DesReleaseCtx(ctx), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_Rc4ReleaseCtx(busy), 0);
}

TEST(ContextRegistry, AReleasedAddressStaysOutOfUseForTheQuarantine) {
  Rc4Ctx* old = newRc4(7);
  ASSERT_NE(old, nullptr);
  ASSERT_EQ(NORV_DAL_Rc4ReleaseCtx(old), 0);
  for (std::size_t i = 0; i < dal::ciphers::kQuarantined; ++i) {
    Rc4Ctx* next = newRc4(7);
    ASSERT_NE(next, nullptr);
    EXPECT_NE(next, old) << "handed out again after " << i << " releases";
    EXPECT_EQ(NORV_DAL_Rc4ReleaseCtx(old), NORV_DAL_ERR_PARAM);
    EXPECT_EQ(NORV_DAL_Rc4ReleaseCtx(next), 0);
  }
}

}  // namespace

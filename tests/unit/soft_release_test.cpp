// The one release routine of the DES, RC2 and RC4 contexts.
#include <gtest/gtest.h>

#include <cstdint>

#include "norv_dal_tkp30.h"

namespace {

TEST(SoftRelease, OneRoutineFreesEveryKindAndAcceptsNull) {
  const void* des = reinterpret_cast<void*>(&NORV_DAL_DesReleaseCtx);
  EXPECT_EQ(reinterpret_cast<void*>(&NORV_DAL_Rc2ReleaseCtx), des);
  EXPECT_EQ(reinterpret_cast<void*>(&NORV_DAL_Rc4ReleaseCtx), des);
  EXPECT_EQ(NORV_DAL_DesReleaseCtx(nullptr), 0);
  EXPECT_EQ(NORV_DAL_Rc4ReleaseCtx(nullptr), 0);

  const uint8_t key[24] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  DesCtx* d = nullptr;
  Rc2Ctx* r2 = nullptr;
  Rc4Ctx* r4 = nullptr;
  ASSERT_EQ(NORV_DAL_DesAcquireContext(key, 16, nullptr, 1, 0, &d), 0);
  ASSERT_EQ(NORV_DAL_Rc2AcquireContext(key, 16, nullptr, 1, 0, &r2), 0);
  ASSERT_EQ(NORV_DAL_Rc4AcquireContext(key, 16, nullptr, 1, 0, &r4), 0);
  // Any of the three names frees any kind (the sanitizer build checks the sizes).
  EXPECT_EQ(NORV_DAL_Rc4ReleaseCtx(reinterpret_cast<Rc4Ctx*>(d)), 0);
  EXPECT_EQ(NORV_DAL_DesReleaseCtx(reinterpret_cast<DesCtx*>(r2)), 0);
  EXPECT_EQ(NORV_DAL_Rc2ReleaseCtx(reinterpret_cast<Rc2Ctx*>(r4)), 0);
}

TEST(SoftRelease, RefusesWhatNoAcquireMade) {
  // An SSF33 context (or any foreign memory) has no software-context tag.
  alignas(8) uint8_t foreign[64] = {};
  EXPECT_EQ(NORV_DAL_DesReleaseCtx(reinterpret_cast<DesCtx*>(foreign)), NORV_DAL_ERR_PARAM);
}

}  // namespace

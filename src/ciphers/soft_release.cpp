// The one release routine of the software cipher contexts: a live DES,
// RC2 or RC4 context, whichever of the three names it comes through, is
// wiped (key schedules, chaining values, pending plaintext) and retired.
#include "ciphers/context_registry.h"
#include "device/export_guard.h"
#include "norv_dal_tkp30.h"

extern "C" {

NORV_DAL_API int32_t NORV_DAL_DesReleaseCtx(void* pCtx) {
  return dal::guarded([&] {
    if (pCtx == nullptr) return NORV_DAL_OK;
    using dal::ciphers::Family;
    // Anything else (an SSF33 context, a released one, foreign memory) is
    // left alone: freeing it would corrupt the heap.
    return dal::ciphers::releaseContext(pCtx, {Family::Des, Family::Rc2, Family::Rc4});
  });
}

NORV_DAL_API int32_t NORV_DAL_Rc2ReleaseCtx(void* pCtx)
    __attribute__((alias("NORV_DAL_DesReleaseCtx")));
NORV_DAL_API int32_t NORV_DAL_Rc4ReleaseCtx(void* pCtx)
    __attribute__((alias("NORV_DAL_DesReleaseCtx")));

}  // extern "C"

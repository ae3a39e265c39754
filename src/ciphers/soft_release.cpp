// The one release routine of the software cipher contexts. It reads the
// common header to learn what it was given, wipes the whole context (key
// schedules, chaining values, pending plaintext) and frees it.
#include <openssl/crypto.h>

#include "ciphers/soft_context.h"
#include "device/export_guard.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

bool knownKind(ciphers::SoftKind kind) {
  using ciphers::SoftKind;
  return kind == SoftKind::Des || kind == SoftKind::Rc2 || kind == SoftKind::Rc4;
}

}  // namespace
}  // namespace dal

extern "C" {

NORV_DAL_API int32_t NORV_DAL_DesReleaseCtx(void* pCtx) {
  return dal::guarded([&] {
    if (pCtx == nullptr) return NORV_DAL_OK;
    auto* header = reinterpret_cast<dal::ciphers::SoftHeader*>(pCtx);
    // Not one of ours: freeing it would corrupt the heap.
    if (!dal::knownKind(header->kind)) return NORV_DAL_ERR_PARAM;
    OPENSSL_clear_free(pCtx, header->size);
    return NORV_DAL_OK;
  });
}

NORV_DAL_API int32_t NORV_DAL_Rc2ReleaseCtx(void* pCtx)
    __attribute__((alias("NORV_DAL_DesReleaseCtx")));
NORV_DAL_API int32_t NORV_DAL_Rc4ReleaseCtx(void* pCtx)
    __attribute__((alias("NORV_DAL_DesReleaseCtx")));

}  // extern "C"

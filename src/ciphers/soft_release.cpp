// The one release routine of the software cipher contexts. It reads the
// common header to learn what it was given, wipes the whole context (key
// schedules, chaining values, pending plaintext) and frees it.
#include <openssl/crypto.h>

#include "ciphers/soft_context.h"
#include "device/export_guard.h"
#include "norv_dal_tkp30.h"

namespace {

bool knownKind(dal::ciphers::SoftKind kind) {
  using dal::ciphers::SoftKind;
  return kind == SoftKind::Des || kind == SoftKind::Rc2 || kind == SoftKind::Rc4;
}

}  // namespace

extern "C" {

NORV_DAL_API int32_t NORV_DAL_DesReleaseCtx(DesCtx* pCtx) {
  return dal::guarded([&] {
    if (pCtx == nullptr) return NORV_DAL_OK;
    auto* header = reinterpret_cast<dal::ciphers::SoftHeader*>(pCtx);
    // Not one of ours: freeing it would corrupt the heap.
    if (!knownKind(header->kind)) return NORV_DAL_ERR_PARAM;
    OPENSSL_clear_free(pCtx, header->size);
    return NORV_DAL_OK;
  });
}

// The context types differ only in what follows the common header.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattribute-alias"
#endif
NORV_DAL_API int32_t NORV_DAL_Rc2ReleaseCtx(Rc2Ctx* pCtx)
    __attribute__((alias("NORV_DAL_DesReleaseCtx")));
NORV_DAL_API int32_t NORV_DAL_Rc4ReleaseCtx(Rc4Ctx* pCtx)
    __attribute__((alias("NORV_DAL_DesReleaseCtx")));
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // extern "C"

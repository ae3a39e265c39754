// The named lock offered to callers; the library itself never takes it.
#include "device/log.h"
#include "device/named_lock.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {
constexpr char kSemaphoreName[] = "SemNorvDal";
}  // namespace
}  // namespace dal

struct NORV_DAL_MUTEX {
  dal::NamedLock lock{dal::kSemaphoreName};
};

extern "C" {

NORV_DAL_API int32_t NORV_DAL_CreateMutex(NORV_DAL_MUTEX** ppMutex) {
  if (ppMutex == nullptr) return NORV_DAL_ERR_PARAM;
  NORV_DAL_MUTEX* handle = nullptr;
  try {
    handle = new NORV_DAL_MUTEX;
  } catch (...) {
    DAL_LOG("******>malloc");
    return NORV_DAL_ERR_CREATE_SYNC;
  }
  // A lock that could not be opened still yields a handle: its lock and
  // unlock then do nothing, as a failed creation does on Windows.
  *ppMutex = handle;
  return NORV_DAL_OK;
}

NORV_DAL_API int32_t NORV_DAL_LockMutex(NORV_DAL_MUTEX* pMutex) {
  if (pMutex == nullptr) return NORV_DAL_ERR_PARAM;
  pMutex->lock.lock();
  return NORV_DAL_OK;
}

NORV_DAL_API int32_t NORV_DAL_UnLockMutex(NORV_DAL_MUTEX* pMutex) {
  if (pMutex == nullptr) return NORV_DAL_ERR_PARAM;
  pMutex->lock.unlock();
  return NORV_DAL_OK;
}

NORV_DAL_API int32_t NORV_DAL_DestroyMutex(NORV_DAL_MUTEX* pMutex) {
  delete pMutex;
  return NORV_DAL_OK;
}

}  // extern "C"

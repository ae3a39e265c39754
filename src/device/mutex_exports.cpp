// The named lock offered to callers; the library itself never takes it.
#include <new>

#include "device/log.h"
#include "device/mutex_create.h"
#include "device/named_lock.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {
constexpr char kSemaphoreName[] = "SemNorvDal";
}  // namespace
}  // namespace dal

struct NORV_DAL_MUTEX {
  explicit NORV_DAL_MUTEX(const char* name) : lock(name) {}
  dal::NamedLock lock;
};

namespace dal {

std::int32_t DalCreateMutex(const char* name, NORV_DAL_MUTEX** ppMutex) {
  if (ppMutex == nullptr) return NORV_DAL_ERR_PARAM;
  auto* handle = new (std::nothrow) NORV_DAL_MUTEX(name);
  if (handle == nullptr) {
    DAL_LOG("******>malloc");
    return NORV_DAL_ERR_CREATE_SYNC;
  }
  // A lock that could not be created or opened would serialise nothing:
  // the caller gets an error and no handle rather than a lock that
  // silently does nothing.
  if (!handle->lock.valid()) {
    delete handle;
    DAL_LOG("******>create lock");
    return NORV_DAL_ERR_CREATE_SYNC;
  }
  *ppMutex = handle;
  return NORV_DAL_OK;
}

}  // namespace dal

extern "C" {

NORV_DAL_API int32_t NORV_DAL_CreateMutex(NORV_DAL_MUTEX** ppMutex) {
  try {
    return dal::DalCreateMutex(dal::kSemaphoreName, ppMutex);
  } catch (...) {  // the lock's own allocations
    DAL_LOG("******>malloc");
    return NORV_DAL_ERR_CREATE_SYNC;
  }
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

#include "device/session.h"

#include <atomic>

#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "dmcos.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {
// 0 before any open, the slot found by the last successful open, -1 after
// a successful close. Atomic so that threads see whole values.
std::atomic<std::int32_t> g_deviceIndex{0};
// What NORV_DAL_Finalize returns when the device library refuses to close.
constexpr std::int32_t kCloseRefused = -1;
}  // namespace

std::int32_t DalDeviceIndex() { return g_deviceIndex.load(std::memory_order_relaxed); }

std::int32_t DalOpenForOperation() {
  const std::int32_t rv = NORV_DAL_Initialize();
  if (rv != 0) DAL_LOG("******>NORV_DAL_Initialize");
  return rv;
}

}  // namespace dal

extern "C" {

NORV_DAL_API int32_t NORV_DAL_Initialize(void) {
  return dal::guarded([] {
    for (int slot = dal::kFirstSlot; slot <= dal::kLastSlot; ++slot) {
      if (Open_UK(slot)) {
        dal::g_deviceIndex.store(slot, std::memory_order_relaxed);
        return NORV_DAL_OK;
      }
    }
    return NORV_DAL_ERR_OPEN_DEVICE;
  });
}

NORV_DAL_API int32_t NORV_DAL_Finalize(void) {
  return dal::guarded([] {
    if (!Close_UK(dal::DalDeviceIndex())) return dal::kCloseRefused;
    dal::g_deviceIndex.store(-1, std::memory_order_relaxed);
    return NORV_DAL_OK;
  });
}

}  // extern "C"

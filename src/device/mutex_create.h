// Creating a lock handle for a lock of any name: the export creates the
// one machine-wide lock, tests create locks of their own names so that
// they never disturb programs sharing the real one.
#pragma once

#include <cstdint>

#include "norv_dal_tkp30.h"

namespace dal {

// 0 with a new handle in *ppMutex; NORV_DAL_ERR_CREATE_SYNC, with a log
// line and *ppMutex untouched, when the record cannot be allocated or the
// lock cannot be opened for reading and writing.
std::int32_t DalCreateMutex(const char* name, NORV_DAL_MUTEX** ppMutex);

}  // namespace dal

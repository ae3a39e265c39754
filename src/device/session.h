// The token session: one process-wide device index.
#pragma once

#include <cstdint>

namespace dal {

inline constexpr int kFirstSlot = 1;
inline constexpr int kLastSlot = 6;

// The process-wide device index: 0 unopened, 1..6 open, -1 closed.
std::int32_t DalDeviceIndex();

// Opens the token as every token operation must first; on failure writes
// "******>NORV_DAL_Initialize" and returns the open's result.
std::int32_t DalOpenForOperation();

}  // namespace dal

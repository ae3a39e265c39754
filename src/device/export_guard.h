// Keeps every exception inside the library: an export runs its body
// through guarded(), and whatever escapes becomes NORV_DAL_ERR_OTHER.
#pragma once

#include <cstdint>

#include "norv_dal_tkp30.h"

namespace dal {

template <typename Body>
std::int32_t guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return NORV_DAL_ERR_OTHER;
  }
}

}  // namespace dal

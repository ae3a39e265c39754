// The library's results as the standard's return values.
#pragma once

#include "ck/ck.h"
#include "norv_dal_tkp30.h"

namespace p11 {

// A failed call: the token gone (it could not be opened) or a device error.
inline CK_RV deviceFailure(std::int32_t rv) {
  return rv == NORV_DAL_ERR_OPEN_DEVICE ? CKR_DEVICE_REMOVED : CKR_DEVICE_ERROR;
}

inline CK_RV deviceResult(std::int32_t rv) {
  return rv == NORV_DAL_OK ? CKR_OK : deviceFailure(rv);
}

}  // namespace p11

// Free space on the token is not something the card reports.
#include "norv_dal_tkp30.h"

extern "C" NORV_DAL_API int32_t NORV_DAL_GetFreeSpace(int32_t /*reserved*/) {
  return NORV_DAL_ERR_NOT_SUPPORTED;
}

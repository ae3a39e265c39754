// The session no-ops: one routine, two names; they touch nothing.
#include "norv_dal_tkp30.h"

extern "C" {

NORV_DAL_API int32_t NORV_DAL_InitializeEx(int32_t /*reserved*/) { return NORV_DAL_OK; }
NORV_DAL_API int32_t NORV_DAL_FinalizeEx(int32_t) __attribute__((alias("NORV_DAL_InitializeEx")));

}  // extern "C"

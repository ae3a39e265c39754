// The session no-ops: one __stdcall routine, two names; they touch
// nothing. The alias names the routine's decorated symbol.
#include "norv_dal_tkp30.h"

extern "C" {

NORV_DAL_API int32_t NORV_DAL_NOOP_CALL NORV_DAL_InitializeEx(int32_t /*reserved*/) {
  return NORV_DAL_OK;
}
NORV_DAL_API int32_t NORV_DAL_NOOP_CALL NORV_DAL_FinalizeEx(int32_t)
    __attribute__((alias("NORV_DAL_InitializeEx@4")));

}  // extern "C"

// The session no-ops: one __stdcall routine, two names; they touch
// nothing. The alias names the routine's decorated symbol; 64-bit Windows
// (a build that runs the tests under 64-bit Wine) has one calling
// convention and no decoration.
#include "norv_dal_tkp30.h"

#if defined(_WIN64)
#define NORV_DAL_NOOP_SYMBOL "NORV_DAL_InitializeEx"
#else
#define NORV_DAL_NOOP_SYMBOL "NORV_DAL_InitializeEx@4"
#endif

extern "C" {

NORV_DAL_API int32_t NORV_DAL_NOOP_CALL NORV_DAL_InitializeEx(int32_t /*reserved*/) {
  return NORV_DAL_OK;
}
NORV_DAL_API int32_t NORV_DAL_NOOP_CALL NORV_DAL_FinalizeEx(int32_t)
    __attribute__((alias(NORV_DAL_NOOP_SYMBOL)));

}  // extern "C"

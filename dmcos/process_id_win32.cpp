#include <windows.h>

#include "process_id.h"

namespace dmcos {

unsigned long currentProcess() { return GetCurrentProcessId(); }

}  // namespace dmcos

#include <windows.h>

#include "module/process.h"

namespace p11 {

unsigned long currentProcess() { return GetCurrentProcessId(); }

// Windows starts every process afresh: no process inherits the module.
bool guardForks(void (*)(), void (*)()) { return true; }

}  // namespace p11

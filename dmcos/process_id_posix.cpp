#include <unistd.h>

#include "process_id.h"

namespace dmcos {

unsigned long currentProcess() { return static_cast<unsigned long>(::getpid()); }

}  // namespace dmcos

#include <pthread.h>
#include <unistd.h>

#include "module/process.h"

namespace p11 {

unsigned long currentProcess() { return static_cast<unsigned long>(::getpid()); }

bool guardForks(void (*before)(), void (*after)()) {
  return pthread_atfork(before, after, after) == 0;
}

}  // namespace p11

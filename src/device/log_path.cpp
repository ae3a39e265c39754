// The log file path, compiled once per library flavour.
#include "device/log.h"

#ifdef NORV_DAL_TEST_LOG_DIR
#include <cstdio>

#include "device/log_file.h"
#endif

namespace dal {

#ifdef NORV_DAL_TEST_LOG_DIR
// Test builds: one file per process, so parallel tests read only their own lines.
const char* DalLogPath() {
  thread_local char path[512];
  std::snprintf(path, sizeof path, "%s/dal_tkp30.%d.txt", NORV_DAL_TEST_LOG_DIR, DalProcessId());
  return path;
}
#else
const char* DalLogPath() { return NORV_DAL_LOG_PATH; }
#endif

}  // namespace dal

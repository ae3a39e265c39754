#include "device/log.h"

#include <cstdio>
#include <string>

#include "device/log_file.h"

namespace dal {
namespace {

std::string prefix(const char* sourcePath, int line) {
  char head[64];
  std::snprintf(head, sizeof head, "; Line %d # ", line);
  return std::string("File ") + (sourcePath ? sourcePath : "") + head;
}

}  // namespace

void DalLog(const char* logPath, const char* sourcePath, int line, const char* text) {
  if (logPath == nullptr) return;
  DalAppendLine(logPath, prefix(sourcePath, line) + (text ? text : "") + "\n");
}

void DalLogValue(const char* logPath, const char* sourcePath, int line, const char* text,
                 std::int32_t value) {
  if (logPath == nullptr) return;
  char number[40];
  std::snprintf(number, sizeof number, "%d:0x%X", value, static_cast<unsigned>(value));
  DalAppendLine(logPath, prefix(sourcePath, line) + (text ? text : "") + number + "\n");
}

}  // namespace dal

#include "device/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace dal {
namespace {

// One write of the whole line on a descriptor opened for appending, so
// lines from concurrent processes never interleave; O_NOFOLLOW keeps a
// planted symbolic link from redirecting the log. The directory is never
// created: logging is on only where an administrator made it.
void appendLine(const char* logPath, const std::string& line) {
  if (logPath == nullptr) return;
  const int fd = ::open(logPath, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0640);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
  ::close(fd);
}

std::string prefix(const char* sourcePath, int line) {
  char head[64];
  std::snprintf(head, sizeof head, "; Line %d # ", line);
  return std::string("File ") + (sourcePath ? sourcePath : "") + head;
}

}  // namespace

void DalLog(const char* logPath, const char* sourcePath, int line, const char* text) {
  if (logPath == nullptr) return;
  appendLine(logPath, prefix(sourcePath, line) + (text ? text : "") + "\n");
}

void DalLogValue(const char* logPath, const char* sourcePath, int line, const char* text,
                 std::int32_t value) {
  if (logPath == nullptr) return;
  char number[40];
  std::snprintf(number, sizeof number, "%d:0x%X", value, static_cast<unsigned>(value));
  appendLine(logPath, prefix(sourcePath, line) + (text ? text : "") + number + "\n");
}

}  // namespace dal

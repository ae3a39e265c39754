#include <fcntl.h>
#include <unistd.h>

#include "device/log_file.h"

namespace dal {

// One write of the whole line on a descriptor opened for appending, so
// lines from concurrent processes never interleave; O_NOFOLLOW keeps a
// planted symbolic link from redirecting the log. The directory is never
// created: logging is on only where an administrator made it.
void DalAppendLine(const char* logPath, std::string_view line) {
  if (logPath == nullptr) return;
  const int fd = ::open(logPath, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0640);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
  ::close(fd);
}

int DalProcessId() { return static_cast<int>(::getpid()); }

}  // namespace dal

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "device/log_file.h"

namespace dal {
namespace {

// Only a plain file under one name is appended to: a FIFO, a device or a
// hard link planted at the log's path gets nothing.
bool plainFile(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1;
}

}  // namespace

// One write of the whole line on a descriptor opened for appending, so
// lines from concurrent processes never interleave; O_NOFOLLOW keeps a
// planted symbolic link from redirecting the log, and O_NONBLOCK keeps a
// planted FIFO from holding up the call. The directory is never created:
// logging is on only where an administrator made it.
void DalAppendLine(const char* logPath, std::string_view line) {
  if (logPath == nullptr) return;
  const int fd =
      ::open(logPath, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0640);
  if (fd < 0) return;
  if (plainFile(fd)) {
    [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
  }
  ::close(fd);
}

int DalProcessId() { return static_cast<int>(::getpid()); }

}  // namespace dal

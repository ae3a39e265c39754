#include <fcntl.h>
#include <unistd.h>

#include "trace_output.h"

namespace dmcos {

void writeTrace(const char* target, std::string_view text) {
  if (target == std::string_view("-")) {
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
    return;
  }
  const int fd = ::open(target, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t n = ::write(fd, text.data(), text.size());
  ::close(fd);
}

}  // namespace dmcos

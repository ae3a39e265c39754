// Child processes for tests: a body run in a fork that its alarm ends, so
// that nothing waits for ever, and how the child ended.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace testproc {

// Runs `body` in a child; its result is the child's exit status. A child
// that outlives its alarm dies of SIGALRM.
inline pid_t spawn(const std::function<int()>& body, unsigned alarmSeconds = 60) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(alarmSeconds);
    ::_exit(body());
  }
  return pid;
}

// The child's exit code, or minus the signal that ended it.
inline int reap(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1000;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

}  // namespace testproc

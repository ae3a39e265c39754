// Who a process is, as the machine-wide lock records its holder on
// Linux, and whether a recorded holder still runs. A process id alone is
// not enough: ids are reused, so the holder is also named by its start
// time, and ids mean something only inside one pid namespace, so the
// holder's namespaces are recorded too. All of it comes from /proc.
#pragma once

#include <sys/types.h>

#include <cstdint>

namespace dal::lockholder {

// This process, read once per process and lock handle.
struct Self {
  pid_t pid = 0;
  // Clock ticks from boot to this process's start (field 22 of
  // /proc/<pid>/stat), as this process's time namespace counts them.
  std::uint64_t start = 0;
  // Its pid and time namespaces as one number that no other pair of
  // namespaces on this machine has; 0 when they could not be read.
  std::uint64_t namespaces = 0;
  // Whether /proc here shows this process's own pid namespace, so that
  // another process's id can be looked up in it. A /proc mounted for
  // another namespace (a process that entered a new one without mounting
  // its own) would name other processes by the ids of that namespace.
  bool judges = false;
};

// getpid(), kept until this process forks.
pid_t currentPid();

Self describeSelf();

// True only when /proc and kill() say for certain that the process `pid`
// of this namespace whose start time ends in the 32 bits `start` no longer
// runs: no process has that id, the one that has it started at another
// time (the id was reused), or it has ended and waits for its parent to
// reap it. A process hidden from this one (hidepid) counts as running.
bool gone(pid_t pid, std::uint32_t start);

}  // namespace dal::lockholder

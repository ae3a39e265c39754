// What the module needs to know about the process it lives in: its
// identity, and the one moment POSIX adds (fork) at which the module's
// mutex must not be held by another thread.
#pragma once

namespace p11 {

// This process's id: a forked child's differs from its parent's.
unsigned long currentProcess();

// Has `before` run ahead of every fork() and `after` after it, in parent
// and child, from now on; false when the system refuses. Where there is no
// fork, nothing to do.
bool guardForks(void (*before)(), void (*after)());

}  // namespace p11

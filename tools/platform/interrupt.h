// Ctrl-C, SIGTERM and SIGHUP. While nothing needs cleaning up they end the
// tool at once, as they would by default. While an InterruptGuard lives
// (the token lock is held, a temporary output file exists, the terminal's
// echo is off) they are only recorded: the command notices at its next
// checkpoint, unwinds so that every owner cleans up, and main() then ends
// the process by the same signal, so a shell sees 130, 143 or 129.
#pragma once

#include <exception>

namespace tkp30 {

// Installs the handlers; a signal the tool was started with ignored stays
// ignored.
void installInterruptHandlers();

// Defers the signals for its lifetime; guards nest.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// Thrown at a checkpoint after a deferred signal.
class Interrupted : public std::exception {
 public:
  explicit Interrupted(int signal) : signal_(signal) {}
  int signal() const { return signal_; }
  const char* what() const noexcept override { return "interrupted"; }

 private:
  int signal_;
};

// The checkpoint: throws Interrupted when a signal was deferred.
void throwIfInterrupted();

// Waits until `fd` has something to read (or its end). A deferred signal
// that comes while it waits is noticed within a fraction of a second,
// even one that came just before the wait began: throws Interrupted.
void waitReadable(int fd);

// The signal deferred so far, or 0.
int pendingInterrupt();

// Ends the process by `signal` with its default action.
[[noreturn]] void endBySignal(int signal);

}  // namespace tkp30

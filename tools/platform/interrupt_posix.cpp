// Signals on Linux: handlers that end the tool at once or defer, and a
// wait that polls in slices so that a deferred signal is noticed.
#include "platform/interrupt.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>

namespace tkp30 {
namespace {

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
// How long a wait may miss a signal that came just before it began.
constexpr int kWaitSliceMs = 200;

std::atomic<int> deferring{0};
volatile sig_atomic_t pending = 0;

extern "C" void onSignal(int signal) {
  if (deferring.load() > 0) {
    if (pending == 0) pending = signal;
    return;
  }
  // Nothing to clean up: the default action, now. The signal is blocked
  // while this handler runs, so it is delivered as soon as it returns.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

void installInterruptHandlers() {
  for (const int signal : kSignals) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read from a terminal or a pipe returns EINTR, so a
    // waiting command reaches its next checkpoint.
    action.sa_flags = 0;
    ::sigaction(signal, &action, nullptr);
  }
}

InterruptGuard::InterruptGuard() { deferring.fetch_add(1); }
InterruptGuard::~InterruptGuard() { deferring.fetch_sub(1); }

void throwIfInterrupted() {
  if (const int signal = pending; signal != 0) throw Interrupted(signal);
}

void waitReadable(int fd) {
  for (;;) {
    throwIfInterrupted();
    pollfd waiting{fd, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, kWaitSliceMs);
    if (ready > 0 || (ready < 0 && errno != EINTR)) return;  // the read says what failed
  }
}

int pendingInterrupt() { return pending; }

void endBySignal(int signal) {
  ::signal(signal, SIG_DFL);
  ::raise(signal);
  ::_exit(128 + signal);  // the signal's default action did not end the process
}

}  // namespace tkp30

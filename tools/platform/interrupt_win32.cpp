// Console events on Windows: Ctrl-C and Ctrl-Break count as SIGINT, the
// console closing, a logoff or a shutdown as SIGTERM. The handler runs in
// a thread of its own; while nothing needs cleaning up it lets Windows end
// the process as it would by default. A read that waits is not cut short:
// the deferred event is noticed at the checkpoint after it.
#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "platform/interrupt.h"

namespace tkp30 {
namespace {

std::atomic<int> deferring{0};
std::atomic<int> pending{0};

BOOL WINAPI onConsoleEvent(DWORD event) {
  const int signal = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
  if (deferring.load() == 0) return FALSE;  // the default: the process ends now
  int none = 0;
  pending.compare_exchange_strong(none, signal);
  return TRUE;
}

}  // namespace

void installInterruptHandlers() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

InterruptGuard::InterruptGuard() { deferring.fetch_add(1); }
InterruptGuard::~InterruptGuard() { deferring.fetch_sub(1); }

void throwIfInterrupted() {
  if (const int signal = pending.load(); signal != 0) throw Interrupted(signal);
}

void waitReadable(int /*fd*/) { throwIfInterrupted(); }

int pendingInterrupt() { return pending.load(); }

void endBySignal(int signal) { std::_Exit(128 + signal); }

}  // namespace tkp30

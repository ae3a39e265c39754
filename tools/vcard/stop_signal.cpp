#include "stop_signal.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>

namespace vcard {
namespace {

sigset_t stopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

}  // namespace

StopSignal::StopSignal() {
  const sigset_t set = stopSignals();
  if (sigprocmask(SIG_BLOCK, &set, nullptr) == 0)
    fd_ = UniqueFd(signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
}

bool StopSignal::drain() {
  signalfd_siginfo info;
  while (::read(fd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) raised_ = true;
  return raised_;
}

bool StopSignal::raised() { return raised_ || drain(); }

void StopSignal::wait(std::chrono::milliseconds period) {
  pollfd waitFor{fd_.get(), POLLIN, 0};
  if (::poll(&waitFor, 1, static_cast<int>(period.count())) > 0) drain();
}

}  // namespace vcard

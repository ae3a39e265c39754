// SIGTERM and SIGINT, blocked and delivered through a descriptor, so that
// every wait of the card also ends when it is asked to stop.
#pragma once

#include <chrono>

#include "unique_fd.h"

namespace vcard {

class StopSignal {
 public:
  StopSignal();
  int fd() const { return fd_.get(); }
  bool valid() const { return fd_.valid(); }

  // True once a stop was asked; it then stays asked.
  bool raised();
  // Sleeps for `period` unless a stop is asked first.
  void wait(std::chrono::milliseconds period);

 private:
  bool drain();

  UniqueFd fd_;
  bool raised_ = false;
};

}  // namespace vcard

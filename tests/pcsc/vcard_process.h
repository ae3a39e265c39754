// A tkp30-vcard process inserted in one virtual reader for the length of a
// test, stopped with SIGTERM (as a card is pulled) when it goes.
#pragma once

#include <sys/types.h>

#include <string>

#include "pcsc/virtual_readers.h"

namespace pcsctest {

class VcardProcess {
 public:
  // An emulated token kept in `imagePath`, or the trivial card for "".
  VcardProcess(const VirtualReader& reader, const std::string& imagePath);
  ~VcardProcess() { stop(); }
  VcardProcess(const VcardProcess&) = delete;
  VcardProcess& operator=(const VcardProcess&) = delete;

  bool running() const { return pid_ > 0; }
  // Stops the card and waits until pcscd saw it go; true when it exited
  // cleanly and the reader is empty.
  bool stop();

 private:
  VirtualReader reader_;
  pid_t pid_ = -1;
};

// Waits until the reader reports a card (or, with present false, none).
bool waitForCard(const VirtualReader& reader, bool present);

}  // namespace pcsctest

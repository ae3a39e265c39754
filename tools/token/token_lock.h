// The library's machine-wide named lock around one whole tool operation.
// The library itself takes no lock, and an operation is a sequence of
// card commands (a selection and the read after it, an SSF33 key load and
// every block until the end) that another program's commands must not
// split. Inputs are read and PINs asked for before the lock is taken.
#pragma once

#include <memory>

#include "norv_dal_tkp30.h"
#include "platform/interrupt.h"

namespace tkp30 {

class TokenLock {
 public:
  // Waits for the lock; Ctrl-C ends the wait. From then on signals are
  // deferred, so that the lock is always given back.
  TokenLock();
  ~TokenLock();
  TokenLock(TokenLock&& other) noexcept;
  TokenLock(const TokenLock&) = delete;
  TokenLock& operator=(const TokenLock&) = delete;
  TokenLock& operator=(TokenLock&&) = delete;

 private:
  NORV_DAL_MUTEX* mutex_ = nullptr;
  // Set once the lock is held. A signal in the few instructions between
  // the wait's end and this still ends the tool by default: the named
  // lock offers no wait that a signal could break.
  std::unique_ptr<InterruptGuard> deferred_;
};

}  // namespace tkp30

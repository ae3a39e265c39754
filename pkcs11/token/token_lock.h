// The token to oneself for a whole operation: the library's machine-wide
// lock, held from the first command of an operation to its last. Every
// function that sends commands takes a TokenLock by reference, so none can
// be called without one.
#pragma once

#include "norv_dal_tkp30.h"

namespace p11 {

class TokenLock {
 public:
  explicit TokenLock(NORV_DAL_MUTEX* mutex) : mutex_(mutex) { NORV_DAL_LockMutex(mutex_); }
  ~TokenLock() { NORV_DAL_UnLockMutex(mutex_); }
  TokenLock(const TokenLock&) = delete;
  TokenLock& operator=(const TokenLock&) = delete;

 private:
  NORV_DAL_MUTEX* mutex_;
};

}  // namespace p11

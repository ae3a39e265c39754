#include "token/token_lock.h"

#include <utility>

#include "io/tool_error.h"

namespace tkp30 {

TokenLock::TokenLock() {
  check(NORV_DAL_CreateMutex(&mutex_), "create the token lock");
  if (const std::int32_t rv = NORV_DAL_LockMutex(mutex_); rv != NORV_DAL_OK) {
    NORV_DAL_DestroyMutex(mutex_);
    throw LibraryError("take the token lock", rv);
  }
  deferred_ = std::make_unique<InterruptGuard>();
}

TokenLock::TokenLock(TokenLock&& other) noexcept
    : mutex_(std::exchange(other.mutex_, nullptr)), deferred_(std::move(other.deferred_)) {}

TokenLock::~TokenLock() {
  if (mutex_ == nullptr) return;
  NORV_DAL_UnLockMutex(mutex_);
  NORV_DAL_DestroyMutex(mutex_);
}

}  // namespace tkp30

// The named lock on Windows: a kernel semaphore created with count 1 and
// maximum 1, or opened with its current count when it exists already.
// The kernel object goes away when its last handle closes. A semaphore
// records no holder, so one that dies holding it leaves it taken until
// then; it stays the kernel semaphore of its name all the same, since
// other programs on the machine open that very object.
#include <windows.h>

#include "device/named_lock.h"

namespace dal {

struct NamedLock::Native {
  Native() = default;
  ~Native() {
    if (semaphore != nullptr) CloseHandle(semaphore);
  }
  Native(const Native&) = delete;
  Native& operator=(const Native&) = delete;
  HANDLE semaphore = nullptr;
};

NamedLock::NamedLock(const char* name) {
  auto native = std::make_unique<Native>();
  native->semaphore = CreateSemaphoreA(nullptr, 1, 1, name);
  if (native->semaphore != nullptr) native_ = std::move(native);
}

NamedLock::~NamedLock() = default;

void NamedLock::lock() {
  if (native_) WaitForSingleObject(native_->semaphore, INFINITE);
}

// Releasing a free semaphore fails inside the kernel (the count may not
// exceed 1) and leaves it free.
void NamedLock::unlock() {
  if (native_) ReleaseSemaphore(native_->semaphore, 1, nullptr);
}

}  // namespace dal

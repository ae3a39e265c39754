// A machine-wide binary semaphore found by name, free when first created.
// It has no owner: any holder of a handle may release it, and releasing a
// free lock leaves it free. Once no handle is left anywhere, the next open
// finds it free again, as a named kernel object that disappeared with its
// last handle would be. Each platform has its own implementation file,
// and they differ in what a holder's death does: on Linux, a waiter takes
// over the lock of a holder that ended within a second, whether or not
// other handles live, when it can see that holder (same pid namespace);
// on Windows the kernel semaphore stays taken until its last handle
// closes.
#pragma once

#include <memory>

namespace dal {

class NamedLock {
 public:
  // Opens (creating when needed) the lock called `name`; valid() tells
  // whether that worked. A lock that cannot be opened for reading and
  // writing (another user's private object, a planted link or special
  // file, no memory) is not valid: it would serialise nothing.
  explicit NamedLock(const char* name);
  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  bool valid() const { return native_ != nullptr; }
  void lock();  // blocks without time-out while the holder runs
  void unlock();

 private:
  struct Native;  // the platform's object; null when opening failed
  std::unique_ptr<Native> native_;
};

}  // namespace dal

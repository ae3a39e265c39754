// A machine-wide binary semaphore found by name, free when first created.
// It has no owner: any holder of a handle may release it, and releasing a
// free lock leaves it free. A process that dies holding it leaves it taken.
// Each platform has its own implementation file.
#pragma once

#include <memory>

namespace dal {

class NamedLock {
 public:
  // Opens (creating when needed) the lock called `name`; valid() tells
  // whether that worked.
  explicit NamedLock(const char* name);
  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  bool valid() const { return native_ != nullptr; }
  void lock();    // blocks without time-out
  void unlock();

 private:
  struct Native;  // the platform's object; null when opening failed
  std::unique_ptr<Native> native_;
};

}  // namespace dal

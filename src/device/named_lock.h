// A machine-wide binary semaphore found by name, free when first created.
// It has no owner: any holder of a handle may release it, and releasing a
// free lock leaves it free. A process that dies holding it leaves it taken
// while some handle is still open anywhere; once no handle is left, the
// next open finds it free again, as a named kernel object that disappeared
// with its last handle would be. Each platform has its own implementation
// file.
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
  void lock();  // blocks without time-out
  void unlock();

 private:
  struct Native;  // the platform's object; null when opening failed
  std::unique_ptr<Native> native_;
};

}  // namespace dal

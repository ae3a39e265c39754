// A machine-wide binary semaphore found by name: a 32-bit word in POSIX
// shared memory, waited on with futexes. 0 is free (so a freshly created,
// zero-filled object starts free), 1 is taken. It has no owner: any
// holder of a handle may release it, and releasing a free lock leaves it
// free. A process that dies holding it leaves it taken.
#pragma once

#include <atomic>
#include <cstdint>

namespace dal {

class NamedLock {
 public:
  // Opens (creating when needed) the lock called `name`; valid() tells
  // whether that worked.
  explicit NamedLock(const char* name);
  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  bool valid() const { return word_ != nullptr; }
  void lock();    // blocks without time-out
  void unlock();

 private:
  std::atomic<std::uint32_t>* word_ = nullptr;
};

}  // namespace dal

// The named lock on Linux: a 32-bit word in POSIX shared memory, waited on
// with futexes. 0 is free, 1 is taken; any other value (written by anyone,
// since every user may open the object) counts as taken until an unlock
// frees it.
//
// Every handle holds a shared flock on the object for its whole life, so
// that the object knows whether a handle is alive, as the kernel object of
// a named semaphore does. A create that gets the flock exclusively knows
// that no handle is: it starts the word free, whatever a dead holder (or
// anyone else) left in it, and then takes its own shared flock.
//
// That change from the exclusive to the shared flock is not atomic: a
// second create may win the exclusive flock in between and reset the word
// again. This is harmless. The word is only ever reset under the exclusive
// flock, which cannot be had while any handle holds its shared one, and a
// create hands out its handle only once it holds its shared flock; so no
// reset can free a lock that a handle took.
#include "device/named_lock.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>

namespace dal {
namespace {

using Word = std::atomic<std::uint32_t>;

constexpr std::uint32_t kFree = 0;
constexpr std::uint32_t kTaken = 1;
constexpr mode_t kShared = 0666;  // machine-wide: every user's programs share it
// Never follow a planted link, never wait on a planted FIFO.
constexpr int kOpenFlags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
constexpr int kCreateAttempts = 3;

long futex(Word* word, int op, std::uint32_t value) {
  return ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(word), op, value, nullptr, nullptr,
                   0);
}

// Opens the object, creating it when it does not exist. An existing object
// is opened without O_CREAT: where the system protects sticky folders, an
// O_CREAT open of an object another user created is refused, although the
// object is meant to be shared by all.
int openObject(const std::string& path) {
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    int fd = ::shm_open(path.c_str(), kOpenFlags, 0);
    if (fd >= 0 || errno != ENOENT) return fd;
    fd = ::shm_open(path.c_str(), kOpenFlags | O_CREAT | O_EXCL, kShared);
    if (fd >= 0) {
      ::fchmod(fd, kShared);  // whatever the creator's umask
      return fd;
    }
    if (errno != EEXIST) return -1;  // else someone created it just now: open theirs
  }
  return -1;
}

// A regular object at least one word long. Every opener may size it: a
// second ftruncate to the same size keeps the content.
bool usable(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return st.st_size >= static_cast<off_t>(sizeof(Word)) || ::ftruncate(fd, sizeof(Word)) == 0;
}

// Takes this handle's shared flock; first resets the word when no other
// handle is alive (see the top of the file).
bool joinHandles(int fd, Word* word) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
    word->store(kFree, std::memory_order_release);
  else if (errno != EWOULDBLOCK)
    return false;
  while (::flock(fd, LOCK_SH) != 0)
    if (errno != EINTR) return false;
  return true;
}

}  // namespace

static_assert(sizeof(Word) == sizeof(std::uint32_t));
static_assert(Word::is_always_lock_free);

struct NamedLock::Native {
  Native() = default;
  ~Native() {
    if (word != nullptr) ::munmap(word, sizeof(Word));
    if (fd >= 0) ::close(fd);  // ends this handle's shared flock
  }
  Native(const Native&) = delete;
  Native& operator=(const Native&) = delete;

  int fd = -1;
  Word* word = nullptr;
};

NamedLock::NamedLock(const char* name) {
  auto native = std::make_unique<Native>();
  native->fd = openObject(std::string("/") + name);
  if (native->fd < 0 || !usable(native->fd)) return;
  void* mem = ::mmap(nullptr, sizeof(Word), PROT_READ | PROT_WRITE, MAP_SHARED, native->fd, 0);
  if (mem == MAP_FAILED) return;
  native->word = static_cast<Word*>(mem);
  if (joinHandles(native->fd, native->word)) native_ = std::move(native);
}

NamedLock::~NamedLock() = default;

void NamedLock::lock() {
  if (!native_) return;
  Word* const word = native_->word;
  for (;;) {
    std::uint32_t seen = kFree;
    if (word->compare_exchange_strong(seen, kTaken, std::memory_order_acquire)) return;
    // Sleeps only while the word still holds what was seen; EINTR and
    // spurious wake-ups simply try again.
    futex(word, FUTEX_WAIT, seen);
  }
}

void NamedLock::unlock() {
  if (!native_) return;
  Word* const word = native_->word;
  if (word->exchange(kFree, std::memory_order_release) != kFree) futex(word, FUTEX_WAKE, 1);
}

}  // namespace dal

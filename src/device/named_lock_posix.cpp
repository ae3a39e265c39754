// The named lock on Linux: a 32-bit word in POSIX shared memory, waited on
// with futexes. 0 is free (so a freshly created, zero-filled object starts
// free), 1 is taken.
#include "device/named_lock.h"

#include <fcntl.h>
#include <linux/futex.h>
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

constexpr std::uint32_t kFree = 0;
constexpr std::uint32_t kTaken = 1;
constexpr mode_t kShared = 0666;  // machine-wide: every user's programs share it

long futex(std::atomic<std::uint32_t>* word, int op, std::uint32_t value) {
  return ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(word), op, value, nullptr,
                   nullptr, 0);
}

std::atomic<std::uint32_t>* mapWord(const char* name) {
  const std::string path = std::string("/") + name;
  const int fd = ::shm_open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kShared);
  if (fd < 0) return nullptr;
  ::fchmod(fd, kShared);  // whatever the creator's umask
  struct stat st {};
  void* mem = MAP_FAILED;
  // Every opener sizes the object; a second ftruncate to the same size
  // keeps the content, so openers racing the creator do no harm.
  if (::fstat(fd, &st) == 0 &&
      (st.st_size >= static_cast<off_t>(sizeof(std::uint32_t)) ||
       ::ftruncate(fd, sizeof(std::uint32_t)) == 0)) {
    mem = ::mmap(nullptr, sizeof(std::uint32_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  }
  ::close(fd);
  if (mem == MAP_FAILED) return nullptr;
  return static_cast<std::atomic<std::uint32_t>*>(mem);
}

}  // namespace

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

struct NamedLock::Native {
  Native() = default;
  ~Native() {
    if (word != nullptr) ::munmap(word, sizeof(std::uint32_t));
  }
  Native(const Native&) = delete;
  Native& operator=(const Native&) = delete;
  std::atomic<std::uint32_t>* word = nullptr;
};

NamedLock::NamedLock(const char* name) {
  auto native = std::make_unique<Native>();
  native->word = mapWord(name);
  if (native->word != nullptr) native_ = std::move(native);
}

NamedLock::~NamedLock() = default;

void NamedLock::lock() {
  if (!native_) return;
  std::atomic<std::uint32_t>* const word = native_->word;
  for (;;) {
    std::uint32_t expected = kFree;
    if (word->compare_exchange_strong(expected, kTaken, std::memory_order_acquire)) return;
    // Sleeps only while the word still reads taken; EINTR and spurious
    // wake-ups simply try again.
    futex(word, FUTEX_WAIT, kTaken);
  }
}

void NamedLock::unlock() {
  if (!native_) return;
  std::atomic<std::uint32_t>* const word = native_->word;
  if (word->exchange(kFree, std::memory_order_release) == kTaken) futex(word, FUTEX_WAKE, 1);
}

}  // namespace dal

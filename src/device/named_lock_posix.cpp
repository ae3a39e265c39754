// The named lock on Linux: a state word in POSIX shared memory, waited on
// with futexes, that names its holder, so that a waiter can tell a holder
// that died from one that is slow.
//
// The state is one 64-bit value, set and cleared as a whole (see
// HolderWord): 0 is free; a holder writes its process id, the entry of
// its namespaces in the object's table and its start time. The half that
// lies at the object's first four bytes is the futex word, and is all that
// builds before this one know: they take the lock by turning that word
// from 0 to 1 and free it by writing 0, so they still exclude and wake
// this build's callers, and their 1 reads as a holder of id 1, which is
// never taken over (see mayTakeOver).
//
// Because the whole identity is written by the one compare-and-swap that
// takes the lock, there is no moment at which the word names a holder
// that is not yet recorded: a waiter never judges a holder by another
// one's record. A waiter sleeps at most a second at a time and, on each
// wake-up past its deadline, judges the holder; it takes over only from a
// holder it can see has gone, by a compare-and-swap from that exact
// value, so that of several waiters exactly one succeeds, and none
// succeeds if the holder changed meanwhile. The value names the holder by
// id and start time, and the same id with the same start time is the same
// process, so that swap cannot succeed against a later holder either.
//
// Every handle holds a shared flock on the object for its whole life, so
// that the object knows whether a handle is alive, as the kernel object of
// a named semaphore does. A create that gets the flock exclusively knows
// that no handle is: it clears the object, whatever a dead holder (or
// anyone else) left in it, and then takes its own shared flock.
//
// That change from the exclusive to the shared flock is not atomic: a
// second create may win the exclusive flock in between and clear the
// object again. This is harmless. The object is only ever cleared under
// the exclusive flock, which cannot be had while any handle holds its
// shared one, and a create hands out its handle (and enters its
// namespaces in the table) only once it holds its shared flock; so no
// clearing can free a lock that a handle took or forget an entry in use.
#include <fcntl.h>
#include <linux/futex.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <string>

#include "device/lock_holder_posix.h"
#include "device/named_lock.h"

namespace dal {
namespace {

using State = std::atomic<std::uint64_t>;

// Up to this many distinct pairs of pid and time namespaces enter the
// table between two clearings; further ones hold the lock unidentified.
constexpr std::uint32_t kNamespaceSlots = 255;

// The object's layout. It fits in its first page, so that an older build
// sizing it to one word (as it does when it finds it shorter) can never
// make the mapping fault.
struct Shared {
  State state;
  // Entry i is slot i + 1: a Self::namespaces value, 0 while unused.
  std::array<State, kNamespaceSlots> namespaces;
};
constexpr std::size_t kPage = 4096;
static_assert(sizeof(Shared) <= kPage);
static_assert(State::is_always_lock_free);

// The state's 64 bits. The futex word (the half at the lower address) is
// pid | slot << 22, its top two bits 0; the other half is the low 32 bits
// of the holder's start time. Linux process ids are below 2^22.
struct HolderWord {
  std::uint32_t pid = 0;
  std::uint32_t slot = 0;   // 0: a holder whose namespaces are not entered
  std::uint32_t start = 0;  // 0 whenever slot is 0
  bool wellFormed = true;   // false for a value no holder writes

  static constexpr int kPidBits = 22;
  static constexpr int kSlotBits = 8;
  static constexpr std::uint32_t kPidMask = (1U << kPidBits) - 1;
  static constexpr std::uint32_t kSlotMask = (1U << kSlotBits) - 1;
  static constexpr int kWordShift = std::endian::native == std::endian::little ? 0 : 32;
  static constexpr int kStartShift = 32 - kWordShift;

  static std::uint32_t futexWord(std::uint64_t state) {
    return static_cast<std::uint32_t>(state >> kWordShift);
  }
  std::uint64_t packed() const {
    const std::uint32_t word = pid | (slot << kPidBits);
    return (std::uint64_t{word} << kWordShift) | (std::uint64_t{start} << kStartShift);
  }
  static HolderWord unpack(std::uint64_t state) {
    const std::uint32_t word = futexWord(state);
    HolderWord h;
    h.pid = word & kPidMask;
    h.slot = (word >> kPidBits) & kSlotMask;
    h.start = static_cast<std::uint32_t>(state >> kStartShift);
    h.wellFormed = h.pid != 0 && (word >> (kPidBits + kSlotBits)) == 0;
    return h;
  }
};

// Free when the futex word is 0: an older build that freed the lock
// cleared only that half.
bool isFree(std::uint64_t state) { return HolderWord::futexWord(state) == 0; }

constexpr std::uint32_t kInitPid = 1;  // also what older builds write
constexpr mode_t kShared = 0666;       // machine-wide: every user's programs share it
// Never follow a planted link, never wait on a planted FIFO.
constexpr int kOpenFlags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
constexpr int kCreateAttempts = 3;

std::uint32_t* futexAddress(State* state) {
  return reinterpret_cast<std::uint32_t*>(state);  // the half at the lower address
}

void futexWake(State* state) {
  ::syscall(SYS_futex, futexAddress(state), FUTEX_WAKE, 1, nullptr, nullptr, 0);
}

// Sleeps while the futex word still holds `word`, until woken or until
// `deadline` on the monotonic clock; EINTR and spurious wake-ups return
// early, and the caller looks again.
void futexWaitUntil(State* state, std::uint32_t word, const timespec& deadline) {
  ::syscall(SYS_futex, futexAddress(state), FUTEX_WAIT_BITSET, word, &deadline, nullptr,
            FUTEX_BITSET_MATCH_ANY);
}

timespec now() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return t;
}

bool reached(const timespec& deadline) {
  const timespec t = now();
  return t.tv_sec > deadline.tv_sec ||
         (t.tv_sec == deadline.tv_sec && t.tv_nsec >= deadline.tv_nsec);
}

// How long a waiter sleeps at most before it looks at the holder again:
// the time within which a gone holder's lock is taken over.
constexpr time_t kCheckSeconds = 1;

timespec nextCheck() {
  timespec t = now();
  t.tv_sec += kCheckSeconds;
  return t;
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

// A regular object at least as long as the layout. Every opener may size
// it: growing keeps the content, so an older build's word is kept, and a
// second ftruncate to the same size changes nothing.
bool usable(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return st.st_size >= static_cast<off_t>(sizeof(Shared)) || ::ftruncate(fd, sizeof(Shared)) == 0;
}

void clear(Shared* shared) {
  shared->state.store(0);
  for (State& entry : shared->namespaces) entry.store(0);
}

// Takes this handle's shared flock; first clears the object when no other
// handle is alive (see the top of the file).
bool joinHandles(int fd, Shared* shared) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
    clear(shared);
  else if (errno != EWOULDBLOCK)
    return false;
  while (::flock(fd, LOCK_SH) != 0)
    if (errno != EINTR) return false;
  return true;
}

// The slot of the table entry that holds `namespaces`, entering them in
// the first free entry when none does; 0 when unknown or the table is
// full. Entries only go from 0 to a value, so processes of the same
// namespaces all find the same, first, entry.
std::uint32_t slotFor(Shared* shared, std::uint64_t namespaces) {
  if (namespaces == 0) return 0;
  for (std::uint32_t i = 0; i < kNamespaceSlots; ++i) {
    std::uint64_t seen = 0;
    if (shared->namespaces[i].compare_exchange_strong(seen, namespaces) || seen == namespaces)
      return i + 1;
  }
  return 0;
}

}  // namespace

struct NamedLock::Native {
  Native() = default;
  ~Native() {
    if (shared != nullptr) ::munmap(shared, sizeof(Shared));
    if (fd >= 0) ::close(fd);  // ends this handle's shared flock
  }
  Native(const Native&) = delete;
  Native& operator=(const Native&) = delete;

  // This process as the lock sees it; a forked child learns its own.
  struct Me {
    std::uint64_t taking = 0;  // the state this process writes when it takes the lock
    std::uint32_t slot = 0;
    bool judges = false;
  };
  Me me();
  bool mayTakeOver(std::uint64_t state, const Me& me) const;
  void waitAndTake(std::uint64_t seen, const Me& me);
  bool take(std::uint64_t& seen, const Me& me) {
    return shared->state.compare_exchange_strong(seen, me.taking, std::memory_order_acq_rel,
                                                 std::memory_order_relaxed);
  }

  int fd = -1;
  Shared* shared = nullptr;
  // `taking`, `slot` and `judges` describe the process `owner`; threads
  // that find them stale compute the same values, so their stores agree.
  std::atomic<pid_t> owner{0};
  std::atomic<std::uint64_t> taking{0};
  std::atomic<std::uint32_t> slot{0};
  std::atomic<bool> judges{false};
};

NamedLock::Native::Me NamedLock::Native::me() {
  const pid_t pid = lockholder::currentPid();
  if (owner.load(std::memory_order_acquire) != pid) {
    const lockholder::Self self = lockholder::describeSelf();
    HolderWord h;
    h.pid = static_cast<std::uint32_t>(pid);
    h.slot = slotFor(shared, self.namespaces);
    h.start = h.slot != 0 ? static_cast<std::uint32_t>(self.start) : 0;
    // An id beyond the word, which Linux never gives, is written as an
    // older build's 1: a holder that nobody takes over from.
    if (h.pid > HolderWord::kPidMask) h = HolderWord{kInitPid};
    taking.store(h.packed(), std::memory_order_relaxed);
    slot.store(h.slot, std::memory_order_relaxed);
    judges.store(self.judges && h.slot != 0, std::memory_order_relaxed);
    owner.store(pid, std::memory_order_release);
  }
  return {taking.load(std::memory_order_relaxed), slot.load(std::memory_order_relaxed),
          judges.load(std::memory_order_relaxed)};
}

// Whether this process may take the lock from the holder `state` names.
// The safe answer is no: a holder wrongly judged gone would be robbed,
// while one wrongly judged alive only keeps the lock until an unlock or
// until the last handle closes, as before holders were recorded.
bool NamedLock::Native::mayTakeOver(std::uint64_t state, const Me& me) const {
  const HolderWord h = HolderWord::unpack(state);
  if (!h.wellFormed) return true;  // no holder writes it: garbage
  // A pid namespace ends with its process 1, and the waiters in it; and
  // older builds write 1 whoever holds the lock.
  if (h.pid == kInitPid) return false;
  if (h.slot == 0) return h.start != 0;  // an unidentified holder writes start 0
  // A holder enters its namespaces before it takes the lock, and the table
  // is cleared only when no handle is left.
  if (shared->namespaces[h.slot - 1].load() == 0) return true;
  // Ids of another namespace mean nothing here: never take over from a
  // holder this process cannot see.
  if (h.slot != me.slot || !me.judges) return false;
  return lockholder::gone(static_cast<pid_t>(h.pid), h.start);
}

void NamedLock::Native::waitAndTake(std::uint64_t seen, const Me& me) {
  State* const state = &shared->state;
  timespec check = nextCheck();
  for (;;) {
    if (isFree(seen)) {
      if (take(seen, me)) return;
      continue;  // `seen` now holds the winner
    }
    futexWaitUntil(state, HolderWord::futexWord(seen), check);
    seen = state->load(std::memory_order_acquire);
    if (isFree(seen) || !reached(check)) continue;
    check = nextCheck();
    if (mayTakeOver(seen, me) && take(seen, me)) return;
  }
}

NamedLock::NamedLock(const char* name) {
  auto native = std::make_unique<Native>();
  native->fd = openObject(std::string("/") + name);
  if (native->fd < 0 || !usable(native->fd)) return;
  void* mem = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED, native->fd, 0);
  if (mem == MAP_FAILED) return;
  native->shared = static_cast<Shared*>(mem);
  if (!joinHandles(native->fd, native->shared)) return;
  native->me();  // enters this process's namespaces in the table
  native_ = std::move(native);
}

NamedLock::~NamedLock() = default;

void NamedLock::lock() {
  if (!native_) return;
  const Native::Me me = native_->me();
  std::uint64_t seen = native_->shared->state.load(std::memory_order_relaxed);
  if (isFree(seen) && native_->take(seen, me)) return;
  native_->waitAndTake(seen, me);
}

// Frees the lock whoever holds it: it has no owner. An older build may be
// among the waiters, and sleeps until woken, so every unlock of a taken
// lock wakes one.
void NamedLock::unlock() {
  if (!native_) return;
  State* const state = &native_->shared->state;
  if (!isFree(state->exchange(0, std::memory_order_release))) futexWake(state);
}

}  // namespace dal

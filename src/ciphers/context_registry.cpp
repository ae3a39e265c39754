#include "ciphers/context_registry.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>

// A no-op outside the AddressSanitizer build (and where the header is missing).
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace dal::ciphers {

constinit std::array<SlotRun, kMaxRuns> slotRuns{};

namespace {

// Slots start on cache lines, so that two threads' contexts never share
// one.
constexpr std::align_val_t kSlotAlign{64};

bool liveOfOneOf(std::uint8_t state, std::initializer_list<Family> families) {
  const auto idle = static_cast<std::uint8_t>(state & ~kBusy);
  return state != kDead && std::any_of(families.begin(), families.end(),
                                       [&](Family f) { return idle == idleState(f); });
}

struct FreeSlots {
  void operator()(std::byte* p) const { ::operator delete[](p, kSlotAlign); }
};

// The sanitizer build keeps what the heap gave each context before: the
// bytes of a slot past its context, and a dead slot whole, are poisoned,
// so that a read or write past a context or into a released one is
// caught.
void openSlot(void* slot, std::size_t bytes) {
  ASAN_UNPOISON_MEMORY_REGION(slot, kSlotBytes);
  std::memset(slot, 0, kSlotBytes);
  ASAN_POISON_MEMORY_REGION(static_cast<std::byte*>(slot) + bytes, kSlotBytes - bytes);
}

void closeSlot(void* slot) {
  ASAN_UNPOISON_MEMORY_REGION(slot, kSlotBytes);
  OPENSSL_cleanse(slot, kSlotBytes);
  ASAN_POISON_MEMORY_REGION(slot, kSlotBytes);
}

// Free slots are linked through their first bytes.
void* nextFree(void* slot) {
  void* next = nullptr;
  ASAN_UNPOISON_MEMORY_REGION(slot, sizeof next);
  std::memcpy(&next, slot, sizeof next);
  ASAN_POISON_MEMORY_REGION(slot, sizeof next);
  return next;
}

void setNextFree(void* slot, void* next) {
  ASAN_UNPOISON_MEMORY_REGION(slot, sizeof next);
  std::memcpy(slot, &next, sizeof next);
  ASAN_POISON_MEMORY_REGION(slot, sizeof next);
}

// Hands slots out of slotRuns and takes them back, under its lock.
class Registry {
 public:
  Registry() = default;
  // A context still live may yet be used or released by the caller's
  // objects destroyed after this one, or by a thread still running at
  // exit: the memory then stays. No context is handed out afterwards.
  ~Registry() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    if (live_ != 0) {
      for (std::size_t n = 0; n < kMaxRuns; ++n) {
        static_cast<void>(storage_[n].release());
        static_cast<void>(states_[n].release());
      }
      return;
    }
    for (SlotRun& run : slotRuns) run.bytes.store(0, std::memory_order_release);
  }
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  void* add(Family family, std::size_t bytes) {
    if (bytes > kSlotBytes) return nullptr;
    const std::lock_guard lock(mutex_);
    if (closed_) return nullptr;
    void* slot = takeFreeSlot();
    if (slot == nullptr) slot = carveSlot();
    if (slot == nullptr) return nullptr;
    openSlot(slot, bytes);
    slotState(slot)->store(idleState(family), std::memory_order_release);
    ++live_;
    return slot;
  }

  std::int32_t release(const void* ctx, std::initializer_list<Family> families) {
    const std::lock_guard lock(mutex_);
    ContextState* state = slotState(ctx);
    if (state == nullptr) return NORV_DAL_ERR_PARAM;
    // Acquire: the last call's writes are done before the wipe.
    std::uint8_t seen = state->load(std::memory_order_acquire);
    do {
      if (!liveOfOneOf(seen, families)) return NORV_DAL_ERR_PARAM;
      if ((seen & kBusy) != 0) return NORV_DAL_ERR_SYNC;
    } while (!state->compare_exchange_weak(seen, kDead, std::memory_order_acquire,
                                           std::memory_order_acquire));
    // Dead now: no call can claim it while it is wiped.
    void* const slot = const_cast<void*>(ctx);
    closeSlot(slot);
    retire(slot);
    --live_;
    return NORV_DAL_OK;
  }

 private:
  void* takeFreeSlot() {
    void* const slot = free_;
    if (slot != nullptr) free_ = nextFree(slot);
    return slot;
  }

  void* carveSlot() {
    if (runs_ == 0 || carved_ == (kFirstRunSlots << (runs_ - 1))) {
      if (runs_ == kMaxRuns || !addRun(kFirstRunSlots << runs_)) return nullptr;
      carved_ = 0;
    }
    return storage_[runs_ - 1].get() + carved_++ * kSlotBytes;
  }

  bool addRun(std::size_t slots) {
    if (slots > std::numeric_limits<std::size_t>::max() / kSlotBytes) return false;
    std::unique_ptr<std::byte[], FreeSlots> storage(
        static_cast<std::byte*>(::operator new[](slots* kSlotBytes, kSlotAlign, std::nothrow)));
    std::unique_ptr<ContextState[]> states(new (std::nothrow) ContextState[slots]{});
    if (storage == nullptr || states == nullptr) return false;
    ASAN_POISON_MEMORY_REGION(storage.get(), slots * kSlotBytes);
    SlotRun& run = slotRuns[runs_];
    run.first.store(reinterpret_cast<std::uintptr_t>(storage.get()), std::memory_order_relaxed);
    run.states.store(states.get(), std::memory_order_relaxed);
    run.bytes.store(slots * kSlotBytes, std::memory_order_release);
    storage_[runs_] = std::move(storage);
    states_[runs_] = std::move(states);
    ++runs_;
    return true;
  }

  // Keeps the slot out of use until kQuarantined later releases.
  void retire(void* slot) {
    if (void* const done = retired_[next_]; done != nullptr) {
      setNextFree(done, free_);
      free_ = done;
    }
    retired_[next_] = slot;
    next_ = (next_ + 1) % retired_.size();
  }

  std::mutex mutex_;
  std::array<std::unique_ptr<std::byte[], FreeSlots>, kMaxRuns> storage_{};
  std::array<std::unique_ptr<ContextState[]>, kMaxRuns> states_{};
  std::size_t runs_ = 0;
  std::size_t carved_ = 0;  // slots handed out of the newest run so far
  void* free_ = nullptr;
  std::array<void*, kQuarantined> retired_{};
  std::size_t next_ = 0;
  std::size_t live_ = 0;
  bool closed_ = false;
};

// Constant-initialised where std::mutex is constexpr (glibc; not mingw's,
// where it is built as the DLL loads, before any caller's code runs): ready
// before any code of the process runs. Its destructor is registered as the
// library loads, so it runs after those of the caller's objects built
// later, which may still release contexts.
Registry registry;

}  // namespace

void* newContext(Family family, std::size_t bytes) { return registry.add(family, bytes); }

std::int32_t releaseContext(const void* ctx, std::initializer_list<Family> families) {
  return registry.release(ctx, families);
}

}  // namespace dal::ciphers

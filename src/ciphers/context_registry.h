// The live cipher contexts of the process: which family each belongs to,
// and whether a call is using it. Every call on a context goes through
// here first, so a pointer that is not a live context of the call's
// family (another family's, a released one, foreign memory) is refused
// before anything reads it, and two calls never work on one context at
// once.
//
// Contexts are slots of the registry's own memory (context_slots.h): a
// call finds a context's state by the pointer's value alone and claims it
// with one compare-and-swap, without a lock: on a 16-byte message a lock
// and a table lookup cost nearly as much as the cipher itself.
//
// A released context is wiped but its slot is kept back for the next
// kQuarantined releases, so that the next acquire cannot be handed its
// address at once: a second release of the old pointer then finds no
// live context and is refused instead of releasing the new one. Past that
// many releases the address may name a newer context again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

#include "ciphers/context_slots.h"
#include "norv_dal_tkp30.h"

namespace dal::ciphers {

inline constexpr std::size_t kQuarantined = 64;

// A zero-filled, registered context of `bytes`; nullptr when memory runs
// out or `bytes` is more than a slot holds.
void* newContext(Family family, std::size_t bytes);

template <typename Ctx>
Ctx* newContext(Family family) {
  static_assert(std::is_trivially_copyable_v<Ctx> && std::is_standard_layout_v<Ctx>);
  static_assert(sizeof(Ctx) <= kSlotBytes && alignof(Ctx) <= alignof(std::max_align_t));
  return static_cast<Ctx*>(newContext(family, sizeof(Ctx)));
}

// Wipes and retires a live context of one of `families` that no call is
// using. NORV_DAL_OK; NORV_DAL_ERR_PARAM when `ctx` is no such context
// (nothing is touched); NORV_DAL_ERR_SYNC while a call is using it.
std::int32_t releaseContext(const void* ctx, std::initializer_list<Family> families);

// Claims a context for the length of one call. Inline, as it runs before
// every call on a context.
class ContextUse {
 public:
  ContextUse(const void* ctx, Family family) : idle_(idleState(family)) {
    ContextState* const state = slotState(ctx);
    const auto busy = static_cast<std::uint8_t>(idle_ | kBusy);
    std::uint8_t seen = idle_;
    // Acquire: the previous call's writes to the context are seen.
    if (state != nullptr && state->compare_exchange_strong(seen, busy, std::memory_order_acquire,
                                                           std::memory_order_relaxed)) {
      claimed_ = state;
      return;
    }
    status_ = state != nullptr && seen == busy ? NORV_DAL_ERR_SYNC : NORV_DAL_ERR_PARAM;
  }
  // Release: this call's writes go to the next call that claims it.
  ~ContextUse() {
    if (claimed_ != nullptr) claimed_->store(idle_, std::memory_order_release);
  }
  ContextUse(const ContextUse&) = delete;
  ContextUse& operator=(const ContextUse&) = delete;

  // NORV_DAL_OK when the call may use the context; NORV_DAL_ERR_PARAM when
  // it is not a live context of the family; NORV_DAL_ERR_SYNC when another
  // call is using it.
  std::int32_t status() const { return status_; }

 private:
  ContextState* claimed_ = nullptr;
  std::uint8_t idle_;
  std::int32_t status_ = NORV_DAL_OK;
};

}  // namespace dal::ciphers

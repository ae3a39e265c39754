// The live cipher contexts of the process: which family each belongs to,
// and whether a call is using it. Every call on a context goes through
// here first, so a pointer that is not a live context of the call's
// family (another family's, a released one, foreign memory) is refused
// before anything reads it, and two calls never work on one context at
// once.
//
// A released context is wiped but its memory is kept back for the next
// kQuarantined releases, so that the heap cannot hand its address to the
// next acquire at once: a second release of the old pointer then finds no
// live context and is refused instead of freeing the new one. Past that
// many releases the address may name a newer context again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace dal::ciphers {

enum class Family : std::uint8_t { Ssf33, Des, Rc2, Rc4 };

inline constexpr std::size_t kQuarantined = 64;

// A zero-filled, registered context of `bytes`; nullptr when memory runs out.
void* newContext(Family family, std::size_t bytes);

template <typename Ctx>
Ctx* newContext(Family family) {
  static_assert(std::is_trivially_copyable_v<Ctx> && std::is_standard_layout_v<Ctx>);
  return static_cast<Ctx*>(newContext(family, sizeof(Ctx)));
}

// Wipes and retires a live context of one of `families` that no call is
// using. NORV_DAL_OK; NORV_DAL_ERR_PARAM when `ctx` is no such context
// (nothing is touched); NORV_DAL_ERR_SYNC while a call is using it.
std::int32_t releaseContext(const void* ctx, std::initializer_list<Family> families);

// Claims a context for the length of one call.
class ContextUse {
 public:
  ContextUse(const void* ctx, Family family);
  ~ContextUse();
  ContextUse(const ContextUse&) = delete;
  ContextUse& operator=(const ContextUse&) = delete;

  // NORV_DAL_OK when the call may use the context; NORV_DAL_ERR_PARAM when
  // it is not a live context of the family; NORV_DAL_ERR_SYNC when another
  // call is using it.
  std::int32_t status() const { return status_; }

 private:
  const void* ctx_;
  std::int32_t status_;
};

}  // namespace dal::ciphers

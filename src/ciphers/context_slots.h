// Where the cipher contexts live: runs of equal slots in the registry's
// own memory, with one state byte per slot kept apart from the slots. The
// registry writes them under its lock; every call reads them without one,
// so that the check before a short message costs a few compares and one
// atomic compare-and-swap.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace dal::ciphers {

enum class Family : std::uint8_t { Ssf33, Des, Rc2, Rc4 };

using ContextState = std::atomic<std::uint8_t>;

// A slot's state: dead (never handed out, or released), or live for one
// family, idle or with kBusy set while a call uses it.
inline constexpr std::uint8_t kDead = 0;
inline constexpr std::uint8_t kBusy = 1;

constexpr std::uint8_t idleState(Family family) {
  return static_cast<std::uint8_t>((static_cast<unsigned>(family) + 1U) << 1U);
}

// One context per slot, the largest (RC4's 258-word key state) included;
// a power of two, so that a slot's index is a shift of its offset.
inline constexpr std::size_t kSlotBytes = 2048;

// Run n holds kFirstRunSlots << n slots: the first is enough for most
// processes, and all of them hold more contexts than memory could.
inline constexpr std::size_t kFirstRunSlots = 64;
inline constexpr std::size_t kMaxRuns = 24;

// A run is published by storing `bytes` last (release): whoever sees its
// size sees the rest. It stays until the registry goes.
struct SlotRun {
  std::atomic<std::uintptr_t> first{0};
  std::atomic<std::uintptr_t> bytes{0};
  std::atomic<ContextState*> states{nullptr};

  // The state of the slot that starts at `at`; nullptr when none of this
  // run's slots starts there. Below the run the offset wraps to a value
  // past its end.
  ContextState* stateAt(std::uintptr_t at) const {
    const std::uintptr_t size = bytes.load(std::memory_order_acquire);
    const std::uintptr_t offset = at - first.load(std::memory_order_relaxed);
    if (offset >= size || offset % kSlotBytes != 0) return nullptr;
    return states.load(std::memory_order_relaxed) + offset / kSlotBytes;
  }
};

// Defined by the registry, constant-initialised.
extern std::array<SlotRun, kMaxRuns> slotRuns;

// The state of the slot that starts at `at` in the runs after the first.
ContextState* laterSlotState(std::uintptr_t at);

// The state of the slot `ctx` names; nullptr when it names none. Reads
// nothing at `ctx`.
inline ContextState* slotState(const void* ctx) {
  const auto at = reinterpret_cast<std::uintptr_t>(ctx);
  if (ContextState* state = slotRuns[0].stateAt(at)) return state;
  return laterSlotState(at);
}

}  // namespace dal::ciphers

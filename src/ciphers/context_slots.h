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
// size sees the rest. Runs are published in order and stay until the
// registry goes.
struct SlotRun {
  std::atomic<std::uintptr_t> first{0};
  std::atomic<std::uintptr_t> bytes{0};
  std::atomic<ContextState*> states{nullptr};
};

// Defined by the registry, constant-initialised.
extern std::array<SlotRun, kMaxRuns> slotRuns;

// The state of the slot `ctx` names; nullptr when it names none. Reads
// nothing at `ctx`. A loop rather than a call for the later runs, so that
// a call's arguments need not be saved around it.
inline ContextState* slotState(const void* ctx) {
  const auto at = reinterpret_cast<std::uintptr_t>(ctx);
  for (const SlotRun& run : slotRuns) {
    const std::uintptr_t size = run.bytes.load(std::memory_order_acquire);
    if (size == 0) return nullptr;  // no run after this one either
    // Below the run the offset wraps to a value past its end.
    const std::uintptr_t offset = at - run.first.load(std::memory_order_relaxed);
    if (offset < size)
      return offset % kSlotBytes == 0
                 ? run.states.load(std::memory_order_relaxed) + offset / kSlotBytes
                 : nullptr;
  }
  return nullptr;
}

}  // namespace dal::ciphers

// The slot configuration: TKP30_SLOTS holds up to six entries separated
// by ';', slot 1 first; each is "emu:<image path>", "pcsc:<reader>" or
// "pcsc:" (the first reader holding a card). Anything else, or nothing,
// leaves the slot unconfigured.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace dmcos {

inline constexpr int kSlotCount = 6;
inline constexpr char kSlotsVariable[] = "TKP30_SLOTS";

enum class Scheme { None, Emulator, Pcsc };

struct SlotEntry {
  Scheme scheme = Scheme::None;
  std::string argument;  // image path or reader name
  bool operator==(const SlotEntry&) const = default;
};

using SlotEntries = std::array<SlotEntry, kSlotCount>;

SlotEntries parseSlots(std::string_view config);

// Why slot `number` (1..6) of `config` has no backend to open, for a slot
// that parseSlots leaves unconfigured.
std::string unconfiguredReason(std::string_view config, int number);

}  // namespace dmcos

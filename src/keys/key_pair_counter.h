// The token's key-pair slots and the counter file that hands them out:
// the counter names the next slot to fill.
#pragma once

#include <cstdint>
#include <optional>

namespace dal {

struct KeyPairSlot {
  std::int32_t publicFileId = 0;
  std::int32_t privateFileId = 0;

  // A counter past 0xFFFF - 0x0820 would name identifiers that do not fit
  // the card's 16 bits and wrap onto unrelated files.
  bool addressable() const { return privateFileId <= 0xFFFF; }
};

// The slot a counter value names.
KeyPairSlot slotOf(std::uint16_t counter);

// Selects the counter file and reads the counter; nothing when either
// step is refused or the card delivers fewer than two bytes.
std::optional<std::uint16_t> readKeyPairCounter();

// Selects the counter file and writes `counter` back, low byte first.
// Returns the status word of the refused step, or 0x9000.
std::int32_t writeKeyPairCounter(std::uint16_t counter);

}  // namespace dal

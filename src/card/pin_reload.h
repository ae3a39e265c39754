// The secured PIN reload: the new PIN travels encrypted under the unlock
// key, with a retail MAC keyed on a fresh card challenge.
#pragma once

#include <cstdint>
#include <span>

namespace dal {

// GET CHALLENGE (4 bytes), then 84 24 <keyRef> 00 Lc, the PIN block
// cryptogram and 4 MAC bytes, both sent directly so nothing comes between
// them. `unlockKey` is the 16-byte two-key triple-DES key. Returns the
// card's status word, 0 when the reload was not carried, or -1 with
// nothing sent for a PIN over 15 bytes or a key that is not 16 bytes.
std::int32_t CosReloadPin(std::span<const std::uint8_t> unlockKey,
                          std::span<const std::uint8_t> newPin, std::uint8_t keyRef);

}  // namespace dal

// GET CHALLENGE for the secured commands: sent directly, so that no GET
// RESPONSE can come between the challenge and the command that uses it.
#pragma once

#include <cstdint>
#include <span>

namespace dal {

// Fills `challenge` (4 or 8 bytes) from the card's answer to
// 00 84 00 00 <size>. Always 0: a challenge the card did not give reads
// as zeros and is found out when the card refuses the cryptogram.
std::int32_t CosGetChallenge(std::span<std::uint8_t> challenge);

}  // namespace dal

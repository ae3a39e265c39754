// What a login type names on the card, and how the card's answer to a
// PIN command reads as tries left or a blocked PIN.
#pragma once

#include <cstdint>
#include <optional>

namespace dal {

// The key reference of a login type; an unknown type names the reference
// 0xFF and the card decides.
std::uint8_t DalPinKeyRef(std::int32_t loginType);

// The blocked-PIN result of a login type: -2 for the super PIN, else -1.
std::int32_t DalPinBlockedCode(std::int32_t loginType);

// For a PIN refusal, the call's result: the tries left (1..14) after
// 63C1..63CE, `blockedCode` after 63C0 or 6983. Empty for any other
// status word, which each call maps to its own failure code.
std::optional<std::int32_t> DalPinRefusal(std::int32_t sw, std::int32_t blockedCode);

}  // namespace dal

// Hexadecimal text to bytes and back.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/secret_bytes.h"

namespace tkp30 {

// Pairs of hex digits; blanks, line ends and colons between them are
// ignored ("de:ad:be:ef", "de ad be ef" and "deadbeef" are the same).
// Returns false for anything else, without saying what the text held.
bool parseHex(std::string_view text, common::SecretBytes& out);
std::optional<std::vector<std::uint8_t>> parseHex(std::string_view text);

std::string toHex(std::span<const std::uint8_t> bytes);

}  // namespace tkp30

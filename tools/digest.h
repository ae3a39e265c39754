// SHA-256 of a file, read in pieces so that size does not matter.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pkcs1_blocks.h"

namespace tkp30 {

Sha256 sha256OfFile(const std::string& path);
Sha256 sha256Of(std::span<const std::uint8_t> bytes);

}  // namespace tkp30

// Digests of files (read in pieces, so size does not matter) and of bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/digest_info.h"

namespace tkp30 {

using Sha256 = std::array<std::uint8_t, 32>;

Sha256 sha256OfFile(const std::string& path);
Sha256 sha256Of(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> digestOfFile(common::Hash hash, const std::string& path);

}  // namespace tkp30

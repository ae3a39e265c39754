// Digests of files (read in pieces, so size does not matter) and of
// bytes, and the DigestInfo a PKCS #1 v1.5 signature carries.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pkcs1_blocks.h"

namespace tkp30 {

enum class Hash { kSha1, kSha256, kSha384, kSha512 };

Sha256 sha256OfFile(const std::string& path);
Sha256 sha256Of(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> digestOfFile(Hash hash, const std::string& path);

// DER of DigestInfo { AlgorithmIdentifier of `hash`, OCTET STRING digest }.
std::vector<std::uint8_t> digestInfo(Hash hash, std::span<const std::uint8_t> digest);

// The libcrypto name of the hash ("SHA256").
const char* hashName(Hash hash);

}  // namespace tkp30

// What the tool knows of a formatted token's layout, as the public API
// names it.
#pragma once

#include <cstdint>

namespace tkp30 {

// Key pairs: slot n is the public-key file 0x0800 + n and the private-key
// file 0x0820 + n.
inline constexpr int kKeyPairSlots = 4;
inline constexpr std::int32_t kPublicKeyFileBase = 0x0800;
inline constexpr std::int32_t kPrivateKeyFileBase = 0x0820;
inline constexpr std::int32_t kRsaBits = 1024;
inline constexpr std::size_t kModulusBytes = 128;
inline constexpr std::size_t kCrtComponentBytes = 64;

// User data files: types 1 to 3, each with its own run of identifiers.
// Indexes beyond kMaxFileIndex would name the next type's files.
inline constexpr int kFirstFileType = 1;
inline constexpr int kLastFileType = 3;
inline constexpr int kMaxFileIndex = 0x1FF;
// User data files carry a two-byte header: size + 2 must fit 16 bits.
inline constexpr int kMaxUserFileSize = 0xFFFD;
inline constexpr int kMaxGlobalFileSize = 0xFFFF;

inline std::int32_t publicKeyFile(int slot) { return kPublicKeyFileBase + slot; }
inline std::int32_t privateKeyFile(int slot) { return kPrivateKeyFileBase + slot; }

}  // namespace tkp30

// The token as applications see it through the library's API: its slots,
// key pairs, PINs and user data files. The library defines the same for
// itself in src/card/, and tests/common/ holds the two together.
#pragma once

#include <cstddef>
#include <cstdint>

namespace common {

// The device library probes slots 1 to 6, configured in the environment.
inline constexpr int kSlotCount = 6;
inline constexpr char kSlotsVariable[] = "TKP30_SLOTS";
inline constexpr char kTraceVariable[] = "TKP30_TRACE";

// Key pairs: slot n is the public-key file 0x0800 + n and the
// private-key file 0x0820 + n.
inline constexpr int kKeyPairSlots = 4;
inline constexpr std::int32_t kPublicKeyFileBase = 0x0800;
inline constexpr std::int32_t kPrivateKeyFileBase = 0x0820;
constexpr std::int32_t publicKeyFile(int slot) { return kPublicKeyFileBase + slot; }
constexpr std::int32_t privateKeyFile(int slot) { return kPrivateKeyFileBase + slot; }

// PINs are 1 to 15 bytes (a reload block holds at most 15). A PIN call
// that is refused answers the tries left, 1 to 14, as a positive result.
inline constexpr std::size_t kMinPinLength = 1;
inline constexpr std::size_t kMaxPinLength = 15;
inline constexpr std::int32_t kMaxTriesLeft = 14;
constexpr bool isTriesLeft(std::int32_t result) { return result >= 1 && result <= kMaxTriesLeft; }

// User data files: types 1 to 3, each with its own run of identifiers;
// indexes beyond kMaxFileIndex would name the next type's files. A file
// carries a two-byte header, so size + 2 must fit 16 bits.
inline constexpr int kFirstFileType = 1;
inline constexpr int kLastFileType = 3;
inline constexpr int kMaxFileIndex = 0x1FF;
inline constexpr int kMaxUserFileSize = 0xFFFD;
inline constexpr int kMaxGlobalFileSize = 0xFFFF;

// Who may read or write a user data file: the selectors the library takes.
enum class FileAccess : std::int32_t { Free = 0, User = 1, Super = 2 };

}  // namespace common

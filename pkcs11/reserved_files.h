// The user data files the module owns, and the token's fixed shape.
//
// The module keeps what the card cannot tell (token label and serial,
// labels and ids of keys, certificates and data objects) in user data
// files of type 3, indexes 0x180 to 0x1BF (card files 0x0780 to 0x07BF).
// Other programs must leave that range alone.
//
//   0x180-0x183  token record: label, serial, whether the user PIN was
//                set; readable by all, written with the super PIN
//   0x184-0x18B  directory: key-pair labels, ids, usage and hidden flags;
//                which object file holds which object; readable by all,
//                written with the user PIN
//   0x18C-0x1BF  object files: one certificate or data object each,
//                readable by all (public objects) or after the user PIN
//                (private objects), written with the user PIN
//
// The token record and the directory are each kept in two copies (see
// twin_codec.h): the first two files of their run that are usable. A file
// whose creation was cut short can never be written (its header says
// deleted), so the next file of the run takes its place.
//
// A user data file, once created, is never deleted (a deleted index cannot
// be created again until the token is formatted): an object file that no
// object uses any longer is kept and reused for a later object of the same
// privacy that fits in it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace p11 {

inline constexpr std::int32_t kReservedFileType = 3;
inline constexpr std::int32_t kRecordFiles = 0x180;
inline constexpr int kRecordFileCount = 4;
inline constexpr std::int32_t kDirectoryFiles = 0x184;
inline constexpr int kDirectoryFileCount = 8;
inline constexpr std::int32_t kFirstObjectFile = 0x18C;
inline constexpr std::int32_t kLastObjectFile = 0x1BF;

inline constexpr std::int32_t kRecordCapacity = 128;
inline constexpr std::int32_t kDirectoryCapacity = 2048;
// Object files grow in steps of one card read, up to a limit that keeps a
// few objects within a token's file space.
inline constexpr std::int32_t kObjectFileStep = 128;
inline constexpr std::int32_t kMaxObjectBytes = 8192;

// Access selectors of user data files.
enum class Access : std::int32_t { Free = 0, User = 1, Super = 2 };

// Key pairs: slot n is the public-key file 0x0800 + n and the private-key
// file 0x0820 + n; the token holds 1024-bit keys with exponent 65537.
inline constexpr int kKeySlots = 4;
inline constexpr std::int32_t kPublicKeyFileBase = 0x0800;
inline constexpr std::int32_t kPrivateKeyFileBase = 0x0820;
inline constexpr std::int32_t kModulusBits = 1024;
inline constexpr std::size_t kModulusBytes = 128;
inline constexpr std::size_t kCrtBytes = 64;

// PIN lengths the token takes (a reload block holds at most 15 bytes).
inline constexpr std::size_t kMinPin = 1;
inline constexpr std::size_t kMaxPin = 15;

}  // namespace p11

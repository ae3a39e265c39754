// The user data files the PKCS #11 module keeps for itself: type 3,
// indexes 0x180 to 0x1BF (card files 0x0780 to 0x07BF). It keeps there
// what the card cannot tell: the token's label and serial, the labels and
// ids of key pairs, certificates and data objects. Other programs leave
// the range alone.
//
//   0x180-0x183  token record: readable by all, written with the super PIN
//   0x184-0x18B  directory: key-pair labels, ids, usage and hidden flags,
//                which object file holds which object; readable by all,
//                written with the user PIN
//   0x18C-0x1BF  object files: one certificate or data object each
//
// The token record and the directory are each kept in two copies (see
// module_copies.h) in the first two usable files of their run.
#pragma once

#include <cstdint>

namespace common {

inline constexpr std::int32_t kModuleFileType = 3;
inline constexpr std::int32_t kModuleFirstFile = 0x180;
inline constexpr std::int32_t kModuleLastFile = 0x1BF;

// A run of files that holds the two copies of one record.
struct CopyRun {
  std::int32_t first;  // index of the run's first file
  int count;           // files in the run
};
inline constexpr CopyRun kTokenRecordRun = {0x180, 4};
inline constexpr CopyRun kDirectoryRun = {0x184, 8};
inline constexpr std::int32_t kFirstObjectFile = 0x18C;
inline constexpr std::int32_t kLastObjectFile = kModuleLastFile;

constexpr bool inModuleRange(int fileType, std::int32_t index) {
  return fileType == kModuleFileType && index >= kModuleFirstFile && index <= kModuleLastFile;
}

}  // namespace common

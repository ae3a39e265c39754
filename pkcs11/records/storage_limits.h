// How large the module's files in its range of the token are
// (common/module_range.h has the range itself).
//
// A user data file, once created, is never deleted (a deleted index cannot
// be created again until the token is formatted): an object file that no
// object uses any longer is kept and reused for a later object of the same
// privacy that fits in it.
#pragma once

#include <cstdint>

namespace p11 {

inline constexpr std::int32_t kRecordCapacity = 128;
inline constexpr std::int32_t kDirectoryCapacity = 2048;
// Object files grow in steps of one card read, up to a limit that keeps a
// few objects within a token's file space.
inline constexpr std::int32_t kObjectFileStep = 128;
inline constexpr std::int32_t kMaxObjectBytes = 8192;

}  // namespace p11

// Results of the cipher routines and their translation at the export
// boundary: each family (and, for DES, each call) maps the same internal
// codes to its own public codes.
#pragma once

#include <cstdint>

#include "norv_dal_tkp30.h"

namespace dal::ciphers {

inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kBadLength = -1;   // wrong amount of data pending or given
inline constexpr std::int32_t kBadPadding = -2;  // last plaintext byte outside 1..block
inline constexpr std::int32_t kBadMode = -5;     // mode neither ECB nor CBC
// The output count would not fit the caller's 32-bit length.
inline constexpr std::int32_t kTooLong = -6;

struct ErrorMap {
  std::int32_t badMode;
  std::int32_t badPadding;
  std::int32_t badLength;
  std::int32_t other;
};

// Inline: every call on a context ends here.
inline std::int32_t mapResult(std::int32_t internal, const ErrorMap& map) {
  switch (internal) {
    case kOk: return NORV_DAL_OK;
    case kBadMode: return map.badMode;
    case kBadPadding: return map.badPadding;
    case kBadLength: return map.badLength;
    case kTooLong:
      return NORV_DAL_ERR_DATA_LEN;  // whatever the family: a length the call cannot report
    default: return map.other;
  }
}

}  // namespace dal::ciphers

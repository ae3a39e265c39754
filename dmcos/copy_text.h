// Hands a text to a C caller's buffer, as the diagnostic calls do.
#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <string>

namespace dmcos {

// Copies as much of `text` as fits in `cap` bytes, always NUL-terminated
// (nothing when cap is not positive); returns the text's full length.
inline int copyText(const std::string& text, char* buf, int cap) {
  if (cap > 0) {
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(cap) - 1);
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
  }
  return static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
}

}  // namespace dmcos

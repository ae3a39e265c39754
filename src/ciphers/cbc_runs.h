// libcrypto's CBC calls take a `long` length, which is 32 bits on some
// platforms: a run longer than that is handed over in the largest
// whole-block pieces that fit.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "ciphers/block_engine.h"

namespace dal::ciphers {

inline constexpr std::size_t kMaxCbcRun =
    (static_cast<std::size_t>(std::numeric_limits<long>::max()) / kBlockSize) * kBlockSize;

template <typename Call>
void forEachCbcRun(const std::uint8_t* in, std::uint8_t* out, std::size_t len, Call call) {
  while (len > 0) {
    const std::size_t piece = std::min(len, kMaxCbcRun);
    call(in, out, static_cast<long>(piece));
    in += piece;
    out += piece;
    len -= piece;
  }
}

}  // namespace dal::ciphers

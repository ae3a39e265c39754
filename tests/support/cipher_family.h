// One cipher family's exported calls behind a common shape, so that the
// same round-trip and chunking checks run over DES, RC2, RC4 and SSF33.
#pragma once

#include <type_traits>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "norv_dal_tkp30.h"

namespace ciphertest {

using Bytes = std::vector<std::uint8_t>;

// "00 1f a0..." or "001fa0" to bytes.
inline Bytes hex(std::string_view text) {
  Bytes out;
  int high = -1;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    const int v = std::isdigit(static_cast<unsigned char>(c))
                      ? c - '0'
                      : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    if (v < 0 || v > 15) throw std::invalid_argument("not hex");
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd hex");
  return out;
}

// Splits `total` bytes into random pieces (some empty, some long).
inline std::vector<std::size_t> randomChunks(std::size_t total, std::mt19937& rng) {
  std::vector<std::size_t> chunks;
  std::uniform_int_distribution<int> shape(0, 3);
  while (total > 0) {
    std::size_t piece = 0;
    switch (shape(rng)) {
      case 0:
        piece = 0;
        break;
      case 1:
        piece = std::uniform_int_distribution<std::size_t>(1, 9)(rng);
        break;
      case 2:
        piece = std::uniform_int_distribution<std::size_t>(1, 40)(rng);
        break;
      default:
        piece = std::uniform_int_distribution<std::size_t>(1, total)(rng);
        break;
    }
    piece = std::min(piece, total);
    chunks.push_back(piece);
    total -= piece;
  }
  return chunks;
}

inline Bytes randomBytes(std::size_t n, std::mt19937& rng) {
  Bytes out(n);
  std::uniform_int_distribution<int> byte(0, 255);
  for (auto& b : out) b = static_cast<std::uint8_t>(byte(rng));
  return out;
}

template <typename Ctx>
struct Family {
  using Acquire = int32_t (*)(const uint8_t*, int32_t, const uint8_t*, int32_t, int32_t, Ctx**);
  using Stream = int32_t (*)(Ctx*, const uint8_t*, uint32_t, uint8_t*, uint32_t*);
  using Final = int32_t (*)(Ctx*, uint8_t*, uint32_t*);
  using MacUpdate = int32_t (*)(Ctx*, const uint8_t*, uint32_t);
  using MacFinal = int32_t (*)(Ctx*, uint8_t*, uint32_t);
  using Mac = int32_t (*)(Ctx*, const uint8_t*, uint32_t, uint8_t*, uint32_t);
  // DES, RC2 and RC4 share one release routine that takes any of their contexts.
  using Release = int32_t (*)(std::conditional_t<std::is_same_v<Ctx, SSF33Ctx>, SSF33Ctx, void>*);

  Acquire acquire;
  Stream encUpdate;
  Final encFinal;
  Stream encrypt;
  Stream decUpdate;
  Final decFinal;
  Stream decrypt;
  MacUpdate macUpdate;
  MacFinal macFinal;
  Mac mac;
  Release release;
};

#define CIPHERTEST_FAMILY(Prefix, Ctx)                                                            \
  ::ciphertest::Family<Ctx> {                                                                     \
    NORV_DAL_##Prefix##AcquireContext, NORV_DAL_##Prefix##EncUpdate, NORV_DAL_##Prefix##EncFinal, \
        NORV_DAL_##Prefix##Encrypt, NORV_DAL_##Prefix##DecUpdate, NORV_DAL_##Prefix##DecFinal,    \
        NORV_DAL_##Prefix##Decrypt, NORV_DAL_##Prefix##MacUpdate, NORV_DAL_##Prefix##MacFinal,    \
        NORV_DAL_##Prefix##Mac, NORV_DAL_##Prefix##ReleaseCtx                                     \
  }

// A key and mode a family's context is acquired with.
struct ContextSetup {
  Bytes key;
  Bytes iv;
  int32_t mode;
  int32_t encFlag;
};

template <typename Ctx>
Ctx* acquire(const Family<Ctx>& f, const ContextSetup& s, int32_t encFlag) {
  Ctx* ctx = nullptr;
  const int32_t rv = f.acquire(s.key.data(), static_cast<int32_t>(s.key.size()),
                               s.iv.empty() ? nullptr : s.iv.data(), s.mode, encFlag, &ctx);
  return rv == 0 ? ctx : nullptr;
}

// Runs `data` through the update calls in the given pieces and the final
// call; returns the output, or an empty result and `rv` set on failure.
template <typename Ctx>
Bytes streamed(typename Family<Ctx>::Stream update, typename Family<Ctx>::Final final, Ctx* ctx,
               const Bytes& data, const std::vector<std::size_t>& chunks, int32_t& rv) {
  Bytes out(data.size() + 32);
  std::size_t in = 0, written = 0;
  for (std::size_t piece : chunks) {
    uint32_t n = 0;
    rv = update(ctx, data.data() + in, static_cast<uint32_t>(piece), out.data() + written, &n);
    if (rv != 0) return {};
    in += piece;
    written += n;
  }
  uint32_t n = 0;
  rv = final(ctx, out.data() + written, &n);
  if (rv != 0) return {};
  out.resize(written + n);
  return out;
}

template <typename Ctx>
Bytes oneShot(typename Family<Ctx>::Stream call, Ctx* ctx, const Bytes& data, int32_t& rv) {
  Bytes out(data.size() + 32);
  uint32_t n = 0;
  rv = call(ctx, data.data(), static_cast<uint32_t>(data.size()), out.data(), &n);
  if (rv != 0) return {};
  out.resize(n);
  return out;
}

}  // namespace ciphertest

// The bodies of the exported calls of the 8-byte block families: check
// the caller's pointers, claim the context (a live one of the family, used
// by no other call), bind the engine to it, run the call and map its
// result with the family's error map. `Cipher` is the family's
// BlockCipher (DesBlock, Rc2Block).
#pragma once

#include <cstdint>
#include <span>

#include "ciphers/block_engine.h"
#include "ciphers/cipher_result.h"
#include "ciphers/context_registry.h"
#include "device/export_guard.h"
#include "norv_dal_tkp30.h"

// GCC 12 at -O2 reads the pointer-to-member calls below, inlined through
// the lambdas, as reads of an uninitialised engine; the engine is always
// constructed first (see withEngine).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace dal::ciphers {

inline bool inputValid(const std::uint8_t* in, std::uint32_t inLen) {
  return in != nullptr || inLen == 0;
}

// Runs `call(engine)` on the context's engine and maps the result.
template <typename Cipher, typename Call>
std::int32_t withEngine(typename Cipher::Context* ctx, const ErrorMap& map, Call call) {
  const ContextUse use(ctx, Cipher::kFamily);
  if (use.status() != NORV_DAL_OK) return use.status();
  Cipher cipher(*ctx);
  BlockEngine engine(cipher, cipher.state());
  return mapResult(call(engine), map);
}

// Update and one-shot calls: input in, output and its count out. The
// engine's member is a template argument, so that the call to it is
// direct.
template <typename Cipher, auto Member>
std::int32_t streamCall(typename Cipher::Context* ctx, const std::uint8_t* in, std::uint32_t inLen,
                        std::uint8_t* out, std::uint32_t* outLen, const ErrorMap& map) {
  return guarded([&] {
    if (ctx == nullptr || out == nullptr || outLen == nullptr || !inputValid(in, inLen))
      return NORV_DAL_ERR_PARAM;
    return withEngine<Cipher>(ctx, map, [&](BlockEngine& engine) {
      return (engine.*Member)(std::span(in, inLen), out, *outLen);
    });
  });
}

// Final calls: output and its count out.
template <typename Cipher, auto Member>
std::int32_t finalCall(typename Cipher::Context* ctx, std::uint8_t* out, std::uint32_t* outLen,
                       const ErrorMap& map) {
  return guarded([&] {
    if (ctx == nullptr || out == nullptr || outLen == nullptr) return NORV_DAL_ERR_PARAM;
    return withEngine<Cipher>(ctx, map,
                              [&](BlockEngine& engine) { return (engine.*Member)(out, *outLen); });
  });
}

template <typename Cipher>
std::int32_t macUpdateCall(typename Cipher::Context* ctx, const std::uint8_t* in,
                           std::uint32_t inLen, const ErrorMap& map) {
  return guarded([&] {
    if (ctx == nullptr || !inputValid(in, inLen)) return NORV_DAL_ERR_PARAM;
    return withEngine<Cipher>(
        ctx, map, [&](BlockEngine& engine) { return engine.macUpdate(std::span(in, inLen)); });
  });
}

template <typename Cipher>
std::int32_t macFinalCall(typename Cipher::Context* ctx, std::uint8_t* mac, std::uint32_t macLen,
                          const ErrorMap& map) {
  return guarded([&] {
    if (ctx == nullptr || mac == nullptr) return NORV_DAL_ERR_PARAM;
    return withEngine<Cipher>(ctx, map,
                              [&](BlockEngine& engine) { return engine.macFinal(mac, macLen); });
  });
}

template <typename Cipher>
std::int32_t macCall(typename Cipher::Context* ctx, const std::uint8_t* in, std::uint32_t inLen,
                     std::uint8_t* mac, std::uint32_t macLen, const ErrorMap& map) {
  return guarded([&] {
    if (ctx == nullptr || mac == nullptr || !inputValid(in, inLen)) return NORV_DAL_ERR_PARAM;
    return withEngine<Cipher>(ctx, map, [&](BlockEngine& engine) {
      // A MAC length the final would refuse is refused before any input is absorbed.
      if (macLen > kBlockSize) return kBadLength;
      const std::int32_t rv = engine.macUpdate(std::span(in, inLen));
      return rv != kOk ? rv : engine.macFinal(mac, macLen);
    });
  });
}

}  // namespace dal::ciphers

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// The RC2 context and its block operation.
#pragma once

#ifndef OPENSSL_SUPPRESS_DEPRECATED  // the context keeps libcrypto's RC2 key
#define OPENSSL_SUPPRESS_DEPRECATED
#endif
#include <openssl/rc2.h>

#include <cstdint>

#include "ciphers/block_engine.h"
#include "ciphers/context_registry.h"

struct Rc2Ctx {
  RC2_KEY schedule;
  std::uint8_t iv[dal::ciphers::kBlockSize];
  std::int32_t mode;
  std::int32_t encFlag;
  dal::ciphers::Block buf;
  std::uint32_t bufLen;
  dal::ciphers::Block mac;
};

namespace dal::ciphers {

// Expands `keyLen` (> 0) key bytes with an effective length of 8 * keyLen
// bits; libcrypto reads at most 128 key bytes and 1024 effective bits.
void rc2SetKey(Rc2Ctx& ctx, const std::uint8_t* key, std::int32_t keyLen);

class Rc2Block final : public BlockCipher {
 public:
  using Context = Rc2Ctx;
  static constexpr Family kFamily = Family::Rc2;
  explicit Rc2Block(Rc2Ctx& ctx) : ctx_(ctx) {}

  BlockState state() { return {ctx_.buf, ctx_.bufLen, ctx_.mac, ctx_.mode}; }
  void run(Chaining chaining, Direction direction, const std::uint8_t* in, std::uint8_t* out,
           std::size_t len) override;
  void encryptBlock(Block& block) override;

 private:
  Rc2Ctx& ctx_;
};

}  // namespace dal::ciphers

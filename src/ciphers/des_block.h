// The DES context and its block operation: single DES, or triple DES in
// the EDE form with two or three keys.
#pragma once

#include <cstdint>
#include <span>

#include "card/des_primitive.h"  // the context keeps libcrypto's DES key schedules
#include "ciphers/block_engine.h"
#include "ciphers/context_registry.h"

struct DesCtx {
  DES_cblock key1;
  DES_key_schedule schedule1;
  DES_cblock key2;
  DES_key_schedule schedule2;
  DES_cblock key3;
  DES_key_schedule schedule3;
  DES_cblock iv;
  std::int32_t algorithm;
  std::int32_t mode;
  std::int32_t encFlag;
  dal::ciphers::Block buf;
  std::uint32_t bufLen;
  dal::ciphers::Block mac;
};

namespace dal::ciphers {

inline constexpr std::int32_t kSingleDes = 1;
inline constexpr std::int32_t kTripleDes = 3;

// Key lengths the acquire call accepts: one key, two keys (the first
// repeated as the third), or three keys (bytes past the 24th ignored).
inline constexpr std::int32_t kDesKeyLen = 8;
inline constexpr std::int32_t kDes2KeyLen = 16;
inline constexpr std::int32_t kDes3KeyLen = 24;

bool desKeyLenValid(std::int32_t keyLen);

// Copies the key blocks and builds their schedules (parity ignored, weak
// keys accepted). `key` holds at least 8, 16 or 24 bytes by keyLen.
void desSetKey(DesCtx& ctx, const std::uint8_t* key, std::int32_t keyLen);

class DesBlock final : public BlockCipher {
 public:
  using Context = DesCtx;
  static constexpr Family kFamily = Family::Des;
  explicit DesBlock(DesCtx& ctx) : ctx_(ctx) {}

  BlockState state() { return {ctx_.buf, ctx_.bufLen, ctx_.mac, ctx_.mode}; }
  void run(Chaining chaining, Direction direction, const std::uint8_t* in, std::uint8_t* out,
           std::size_t len) override;
  void encryptBlock(Block& block) override;

 private:
  des::Keys keys();
  void ecb(Direction direction, const std::uint8_t* in, std::uint8_t* out, std::size_t len);
  void cbc(Direction direction, const std::uint8_t* in, std::uint8_t* out, std::size_t len);

  DesCtx& ctx_;
};

}  // namespace dal::ciphers

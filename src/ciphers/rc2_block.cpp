#include "ciphers/rc2_block.h"

#include <algorithm>

#include "ciphers/cbc_runs.h"

namespace dal::ciphers {
namespace {

constexpr std::int32_t kMaxRc2KeyBytes = 128;
constexpr std::int32_t kBitsPerByte = 8;

int rc2Direction(Direction direction) {
  return direction == Direction::Encrypt ? RC2_ENCRYPT : RC2_DECRYPT;
}

}  // namespace

void rc2SetKey(Rc2Ctx& ctx, const std::uint8_t* key, std::int32_t keyLen) {
  // Clamped before multiplying: 8 * keyLen must not overflow for a huge
  // length, and libcrypto would read no further anyway.
  const std::int32_t used = std::min(keyLen, kMaxRc2KeyBytes);
  RC2_set_key(&ctx.schedule, used, key, used * kBitsPerByte);
}

void Rc2Block::run(Chaining chaining, Direction direction, const std::uint8_t* in,
                   std::uint8_t* out, std::size_t len) {
  const int enc = rc2Direction(direction);
  if (chaining == Chaining::Cbc) {
    forEachCbcRun(in, out, len, [&](const std::uint8_t* from, std::uint8_t* to, long n) {
      RC2_cbc_encrypt(from, to, n, &ctx_.schedule, ctx_.iv, enc);
    });
    return;
  }
  for (std::size_t at = 0; at < len; at += kBlockSize)
    RC2_ecb_encrypt(in + at, out + at, &ctx_.schedule, enc);
}

void Rc2Block::encryptBlock(Block& block) {
  RC2_ecb_encrypt(block.data(), block.data(), &ctx_.schedule, RC2_ENCRYPT);
}

}  // namespace dal::ciphers

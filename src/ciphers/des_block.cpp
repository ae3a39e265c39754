#include "ciphers/des_block.h"

#include <cstring>

#include "ciphers/cbc_runs.h"

namespace dal::ciphers {
namespace {

bool encrypting(Direction direction) { return direction == Direction::Encrypt; }

void setKeyBlock(DES_cblock& block, DES_key_schedule& schedule, const std::uint8_t* bytes) {
  std::memcpy(block, bytes, sizeof(DES_cblock));
  des::makeSchedule(bytes, schedule);
}

}  // namespace

bool desKeyLenValid(std::int32_t keyLen) {
  return keyLen == kDesKeyLen || keyLen == kDes2KeyLen || keyLen >= kDes3KeyLen;
}

void desSetKey(DesCtx& ctx, const std::uint8_t* key, std::int32_t keyLen) {
  constexpr std::size_t kKeyBlock = sizeof(DES_cblock);
  setKeyBlock(ctx.key1, ctx.schedule1, key);
  if (keyLen == kDesKeyLen) {
    ctx.algorithm = kSingleDes;
    return;
  }
  ctx.algorithm = kTripleDes;
  setKeyBlock(ctx.key2, ctx.schedule2, key + kKeyBlock);
  setKeyBlock(ctx.key3, ctx.schedule3, keyLen == kDes2KeyLen ? key : key + 2 * kKeyBlock);
}

des::Keys DesBlock::keys() {
  if (ctx_.algorithm == kSingleDes) return {&ctx_.schedule1};
  return {&ctx_.schedule1, &ctx_.schedule2, &ctx_.schedule3};
}

void DesBlock::run(Chaining chaining, Direction direction, const std::uint8_t* in,
                   std::uint8_t* out, std::size_t len) {
  if (chaining == Chaining::Cbc)
    cbc(direction, in, out, len);
  else
    ecb(direction, in, out, len);
}

void DesBlock::ecb(Direction direction, const std::uint8_t* in, std::uint8_t* out,
                   std::size_t len) {
  des::ecb(keys(), in, out, len, encrypting(direction));
}

void DesBlock::cbc(Direction direction, const std::uint8_t* in, std::uint8_t* out,
                   std::size_t len) {
  const des::Keys k = keys();
  forEachCbcRun(in, out, len, [&](const std::uint8_t* from, std::uint8_t* to, long n) {
    des::cbc(k, ctx_.iv, from, to, n, encrypting(direction));
  });
}

void DesBlock::encryptBlock(Block& block) {
  ecb(Direction::Encrypt, block.data(), block.data(), kBlockSize);
}

}  // namespace dal::ciphers

#include "ciphers/des_block.h"

#include <cstring>

#include "ciphers/cbc_runs.h"

namespace dal::ciphers {
namespace {

int desDirection(Direction direction) {
  return direction == Direction::Encrypt ? DES_ENCRYPT : DES_DECRYPT;
}

void setKeyBlock(DES_cblock& block, DES_key_schedule& schedule, const std::uint8_t* bytes) {
  std::memcpy(block, bytes, sizeof(DES_cblock));
  DES_set_key_unchecked(&block, &schedule);
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

void DesBlock::run(Chaining chaining, Direction direction, const std::uint8_t* in,
                   std::uint8_t* out, std::size_t len) {
  if (chaining == Chaining::Cbc)
    cbc(direction, in, out, len);
  else
    ecb(direction, in, out, len);
}

void DesBlock::ecb(Direction direction, const std::uint8_t* in, std::uint8_t* out,
                   std::size_t len) {
  const int enc = desDirection(direction);
  for (std::size_t at = 0; at < len; at += kBlockSize) {
    // libcrypto's const_DES_cblock is not const-qualified; the input is only read.
    auto* src = reinterpret_cast<const_DES_cblock*>(const_cast<std::uint8_t*>(in + at));
    auto* dst = reinterpret_cast<DES_cblock*>(out + at);
    if (ctx_.algorithm == kSingleDes)
      DES_ecb_encrypt(src, dst, &ctx_.schedule1, enc);
    else
      DES_ecb3_encrypt(src, dst, &ctx_.schedule1, &ctx_.schedule2, &ctx_.schedule3, enc);
  }
}

void DesBlock::cbc(Direction direction, const std::uint8_t* in, std::uint8_t* out,
                   std::size_t len) {
  const int enc = desDirection(direction);
  forEachCbcRun(in, out, len, [&](const std::uint8_t* from, std::uint8_t* to, long n) {
    if (ctx_.algorithm == kSingleDes)
      DES_ncbc_encrypt(from, to, n, &ctx_.schedule1, &ctx_.iv, enc);
    else
      DES_ede3_cbc_encrypt(from, to, n, &ctx_.schedule1, &ctx_.schedule2, &ctx_.schedule3, &ctx_.iv,
                           enc);
  });
}

void DesBlock::encryptBlock(Block& block) {
  ecb(Direction::Encrypt, block.data(), block.data(), kBlockSize);
}

}  // namespace dal::ciphers

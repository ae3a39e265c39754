// The SSF33 CBC-MAC: the token encrypts each block, the library chains
// them from a zero value and pads the message.
#include <openssl/crypto.h>

#include <algorithm>

#include "ciphers/block_split.h"
#include "ciphers/padding.h"
#include "ciphers/ssf33_commands.h"
#include "ciphers/ssf33_context.h"
#include "device/log.h"
#include "norv_dal_tkp30.h"

namespace dal::ssf33 {
namespace {

// Chains one block into the context's running value.
std::int32_t absorb(SSF33Ctx& ctx, const std::uint8_t* block) {
  Block work;
  for (std::size_t i = 0; i < kBlockSize; ++i)
    work[i] = static_cast<std::uint8_t>(block[i] ^ ctx.mac[i]);
  const std::int32_t rv = cipherBlock(work, ctx.mac);
  OPENSSL_cleanse(work.data(), work.size());
  return rv;
}

}  // namespace

std::int32_t macUpdate(SSF33Ctx& ctx, std::span<const std::uint8_t> in) {
  const ciphers::InputSplit split =
      ciphers::splitInput(ctx.bufLen, in.size(), kBlockSize, ciphers::HoldBack::None);
  if (split.buffered) {
    std::copy(in.begin(), in.end(), ctx.buf.begin() + ctx.bufLen);
    ctx.bufLen += static_cast<std::uint32_t>(in.size());
    return NORV_DAL_OK;
  }
  if (split.completesPending) {
    Block first = ctx.buf;
    std::copy_n(in.begin(), split.fill, first.begin() + ctx.bufLen);
    const std::int32_t rv = absorb(ctx, first.data());
    OPENSSL_cleanse(first.data(), first.size());
    if (rv != NORV_DAL_OK) return rv;
  }
  for (std::size_t at = split.fill; at < split.fill + split.run; at += kBlockSize)
    if (std::int32_t rv = absorb(ctx, in.data() + at); rv != NORV_DAL_OK) return rv;
  std::copy(in.end() - static_cast<std::ptrdiff_t>(split.tail), in.end(), ctx.buf.begin());
  ctx.bufLen = static_cast<std::uint32_t>(split.tail);
  return NORV_DAL_OK;
}

std::int32_t macFinal(SSF33Ctx& ctx, std::uint8_t* mac, std::uint32_t macLen) {
  if (macLen > kBlockSize) {
    DAL_LOG("******>mac length");
    return NORV_DAL_ERR_DATA_LEN;
  }
  ciphers::padBlock(ctx.buf, std::min<std::size_t>(ctx.bufLen, kBlockSize));
  Block work;
  for (std::size_t i = 0; i < kBlockSize; ++i)
    work[i] = static_cast<std::uint8_t>(ctx.buf[i] ^ ctx.mac[i]);
  Block result;
  const std::int32_t rv = cipherBlock(work, result);
  if (rv == NORV_DAL_OK) std::copy_n(result.begin(), macLen, mac);
  OPENSSL_cleanse(work.data(), work.size());
  OPENSSL_cleanse(result.data(), result.size());
  if (rv != NORV_DAL_OK) return rv;
  CosSsf33End();
  return NORV_DAL_OK;
}

}  // namespace dal::ssf33

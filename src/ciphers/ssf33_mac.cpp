// The SSF33 CBC-MAC: the token encrypts each block, the library chains
// them from a zero value and pads the message.
#include <algorithm>

#include "card/ssf33_commands.h"
#include "ciphers/block_split.h"
#include "ciphers/padding.h"
#include "ciphers/ssf33_context.h"
#include "device/log.h"
#include "device/wiped_bytes.h"
#include "norv_dal_tkp30.h"

namespace dal::ssf33 {
namespace {

// Chains one block into the context's running value.
std::int32_t absorb(SSF33Ctx& ctx, const std::uint8_t* block) {
  WipedBytes<kBlockSize> work;
  for (std::size_t i = 0; i < kBlockSize; ++i)
    work.bytes[i] = static_cast<std::uint8_t>(block[i] ^ ctx.mac[i]);
  return cipherBlock(work.bytes, ctx.mac);
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
    WipedBytes<kBlockSize> first;
    first.bytes = ctx.buf;
    std::copy_n(in.begin(), split.fill, first.bytes.begin() + ctx.bufLen);
    if (std::int32_t rv = absorb(ctx, first.bytes.data()); rv != NORV_DAL_OK) return rv;
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
  WipedBytes<kBlockSize> work;
  for (std::size_t i = 0; i < kBlockSize; ++i)
    work.bytes[i] = static_cast<std::uint8_t>(ctx.buf[i] ^ ctx.mac[i]);
  WipedBytes<kBlockSize> result;
  if (std::int32_t rv = cipherBlock(work.bytes, result.bytes); rv != NORV_DAL_OK) return rv;
  std::copy_n(result.bytes.begin(), macLen, mac);
  CosSsf33End();
  return NORV_DAL_OK;
}

}  // namespace dal::ssf33

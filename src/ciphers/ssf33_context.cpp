#include "ciphers/ssf33_context.h"

#include <algorithm>
#include <limits>

#include "card/ssf33_commands.h"
#include "ciphers/block_split.h"
#include "ciphers/padding.h"
#include "device/log.h"
#include "device/wiped_bytes.h"
#include "norv_dal_tkp30.h"

namespace dal::ssf33 {
namespace {

using ciphers::HoldBack;
using ciphers::InputSplit;

constexpr std::uint64_t kMaxOutput = std::numeric_limits<std::uint32_t>::max();

// A block that may hold plaintext.
using WorkBlock = WipedBytes<kBlockSize>;

std::span<const std::uint8_t, kBlockSize> blockAt(const std::uint8_t* at) {
  return std::span<const std::uint8_t, kBlockSize>(at, kBlockSize);
}

std::span<std::uint8_t, kBlockSize> blockAt(std::uint8_t* at) {
  return std::span<std::uint8_t, kBlockSize>(at, kBlockSize);
}

void keepTail(SSF33Ctx& ctx, std::span<const std::uint8_t> in, const InputSplit& split) {
  std::copy(in.end() - static_cast<std::ptrdiff_t>(split.tail), in.end(), ctx.buf.begin());
  ctx.bufLen = static_cast<std::uint32_t>(split.tail);
}

// Sends every block the split names: the topped-up pending block first,
// then the whole input blocks. Leaves the context as it was on failure.
std::int32_t sendBlocks(SSF33Ctx& ctx, std::span<const std::uint8_t> in, const InputSplit& split,
                        std::uint8_t* out) {
  std::size_t written = 0;
  if (split.completesPending) {
    WorkBlock first;
    std::copy_n(ctx.buf.begin(), ctx.bufLen, first.bytes.begin());
    std::copy_n(in.begin(), split.fill, first.bytes.begin() + ctx.bufLen);
    if (std::int32_t rv = cipherBlock(first.bytes, blockAt(out)); rv != NORV_DAL_OK) return rv;
    written = kBlockSize;
  }
  for (std::size_t at = split.fill; at < split.fill + split.run; at += kBlockSize) {
    if (std::int32_t rv = cipherBlock(blockAt(in.data() + at), blockAt(out + written));
        rv != NORV_DAL_OK)
      return rv;
    written += kBlockSize;
  }
  return NORV_DAL_OK;
}

std::int32_t update(SSF33Ctx& ctx, HoldBack holdBack, std::span<const std::uint8_t> in,
                    std::uint8_t* out, std::uint32_t& outLen) {
  const InputSplit split = ciphers::splitInput(ctx.bufLen, in.size(), kBlockSize, holdBack);
  if (split.outputBytes > kMaxOutput) {  // the count could not be reported
    DAL_LOG("******>indata length");
    return NORV_DAL_ERR_DATA_LEN;
  }
  if (split.buffered) {
    std::copy(in.begin(), in.end(), ctx.buf.begin() + ctx.bufLen);
    ctx.bufLen += static_cast<std::uint32_t>(in.size());
  } else {
    if (std::int32_t rv = sendBlocks(ctx, in, split, out); rv != NORV_DAL_OK) return rv;
    keepTail(ctx, in, split);
  }
  outLen = static_cast<std::uint32_t>(split.outputBytes);
  return NORV_DAL_OK;
}

}  // namespace

std::int32_t cipherBlock(std::span<const std::uint8_t, kBlockSize> in,
                         std::span<std::uint8_t, kBlockSize> out) {
  const BlockAnswer answer = CosSsf33CipherBlock(in, out);
  if (answer.complete) return NORV_DAL_OK;
  DAL_LOG_VALUE("X33Encrypt:", answer.sw);
  return NORV_DAL_ERR_SSF33;
}

std::int32_t encUpdate(SSF33Ctx& ctx, std::span<const std::uint8_t> in, std::uint8_t* out,
                       std::uint32_t& outLen) {
  return update(ctx, HoldBack::None, in, out, outLen);
}

std::int32_t decUpdate(SSF33Ctx& ctx, std::span<const std::uint8_t> in, std::uint8_t* out,
                       std::uint32_t& outLen) {
  return update(ctx, HoldBack::LastBlock, in, out, outLen);
}

std::int32_t encFinal(SSF33Ctx& ctx, std::uint8_t* out, std::uint32_t& outLen) {
  if (ctx.bufLen >= kBlockSize) {
    DAL_LOG("******>indata length");
    return kErrPendingBlock;
  }
  WorkBlock last;
  std::copy_n(ctx.buf.begin(), ctx.bufLen, last.bytes.begin());
  ciphers::padBlock(last.bytes, ctx.bufLen);
  if (std::int32_t rv = cipherBlock(last.bytes, blockAt(out)); rv != NORV_DAL_OK) return rv;
  outLen = kBlockSize;
  CosSsf33End();
  return NORV_DAL_OK;
}

std::int32_t decFinal(SSF33Ctx& ctx, std::uint8_t* out, std::uint32_t& outLen) {
  if (ctx.bufLen != kBlockSize) {
    DAL_LOG("******>the last pCtx->bufLen != 16");
    return NORV_DAL_ERR_DATA_LEN;
  }
  WorkBlock last;
  if (std::int32_t rv = cipherBlock(ctx.buf, last.bytes); rv != NORV_DAL_OK) return rv;
  const auto pad = ciphers::paddingLength(last.bytes);
  if (!pad) {
    DAL_LOG_VALUE("if ((buf[15] > 16) || (buf[15] < 1))", last.bytes.back());
    DAL_LOG("******>pad ");
    return NORV_DAL_ERR_CIPHERTEXT;
  }
  std::copy_n(last.bytes.begin(), kBlockSize - *pad, out);
  outLen = static_cast<std::uint32_t>(kBlockSize - *pad);
  return NORV_DAL_OK;
}

}  // namespace dal::ssf33

#include "ciphers/block_engine.h"

#include <algorithm>
#include <limits>

#include "ciphers/block_split.h"
#include "ciphers/cipher_result.h"
#include "ciphers/padding.h"
#include "device/wiped_bytes.h"
#include "norv_dal_tkp30.h"

namespace dal::ciphers {
namespace {

constexpr std::uint64_t kMaxOutput = std::numeric_limits<std::uint32_t>::max();

// A work block that may hold plaintext.
using WorkBlock = WipedBytes<kBlockSize>;

HoldBack holdBackFor(Direction direction) {
  return direction == Direction::Encrypt ? HoldBack::None : HoldBack::LastBlock;
}

}  // namespace

bool BlockEngine::modeValid() const {
  return state_.mode == NORV_DAL_MODE_ECB || state_.mode == NORV_DAL_MODE_CBC;
}

Chaining BlockEngine::chaining() const {
  return state_.mode == NORV_DAL_MODE_CBC ? Chaining::Cbc : Chaining::Ecb;
}

void BlockEngine::transform(Direction direction, const std::uint8_t* in, std::uint8_t* out,
                            std::size_t len) {
  if (len > 0) cipher_.run(chaining(), direction, in, out, len);
}

void BlockEngine::appendPending(std::span<const std::uint8_t> in) {
  std::copy(in.begin(), in.end(), state_.buf.begin() + state_.bufLen);
  state_.bufLen += static_cast<std::uint32_t>(in.size());
}

std::int32_t BlockEngine::update(Direction direction, std::span<const std::uint8_t> in,
                                 std::uint8_t* out, std::uint32_t& outLen) {
  if (!modeValid()) return kBadMode;
  const InputSplit split = splitInput(state_.bufLen, in.size(), kBlockSize, holdBackFor(direction));
  if (split.outputBytes > kMaxOutput) return kTooLong;
  if (split.buffered) {
    appendPending(in);
    outLen = 0;
    return kOk;
  }
  std::size_t written = 0;
  if (split.completesPending) {
    std::copy_n(in.begin(), split.fill, state_.buf.begin() + state_.bufLen);
    transform(direction, state_.buf.data(), out, kBlockSize);
    written = kBlockSize;
  }
  transform(direction, in.data() + split.fill, out + written, split.run);
  std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(split.fill + split.run), split.tail,
              state_.buf.begin());
  state_.bufLen = static_cast<std::uint32_t>(split.tail);
  outLen = static_cast<std::uint32_t>(split.outputBytes);
  return kOk;
}

std::int32_t BlockEngine::encUpdate(std::span<const std::uint8_t> in, std::uint8_t* out,
                                    std::uint32_t& outLen) {
  return update(Direction::Encrypt, in, out, outLen);
}

std::int32_t BlockEngine::decUpdate(std::span<const std::uint8_t> in, std::uint8_t* out,
                                    std::uint32_t& outLen) {
  return update(Direction::Decrypt, in, out, outLen);
}

std::int32_t BlockEngine::encFinal(std::uint8_t* out, std::uint32_t& outLen) {
  if (!modeValid()) return kBadMode;
  if (state_.bufLen >= kBlockSize) return kBadLength;
  WorkBlock last;
  std::copy_n(state_.buf.begin(), state_.bufLen, last.bytes.begin());
  padBlock(last.bytes, state_.bufLen);
  transform(Direction::Encrypt, last.bytes.data(), out, kBlockSize);
  outLen = kBlockSize;
  return kOk;
}

std::int32_t BlockEngine::encrypt(std::span<const std::uint8_t> in, std::uint8_t* out,
                                  std::uint32_t& outLen) {
  if (!modeValid()) return kBadMode;
  const std::size_t whole = in.size() - in.size() % kBlockSize;
  if (std::uint64_t{whole} + kBlockSize > kMaxOutput) return kTooLong;
  transform(Direction::Encrypt, in.data(), out, whole);
  WorkBlock last;
  std::copy(in.begin() + static_cast<std::ptrdiff_t>(whole), in.end(), last.bytes.begin());
  padBlock(last.bytes, in.size() - whole);
  transform(Direction::Encrypt, last.bytes.data(), out + whole, kBlockSize);
  outLen = static_cast<std::uint32_t>(whole + kBlockSize);
  return kOk;
}

std::int32_t BlockEngine::decFinal(std::uint8_t* out, std::uint32_t& outLen) {
  if (!modeValid()) return kBadMode;
  if (state_.bufLen != kBlockSize) return kBadLength;
  WorkBlock last;
  transform(Direction::Decrypt, state_.buf.data(), last.bytes.data(), kBlockSize);
  const auto pad = paddingLength(last.bytes);
  if (!pad) return kBadPadding;
  std::copy_n(last.bytes.begin(), kBlockSize - *pad, out);
  outLen = static_cast<std::uint32_t>(kBlockSize - *pad);
  return kOk;
}

std::int32_t BlockEngine::decrypt(std::span<const std::uint8_t> in, std::uint8_t* out,
                                  std::uint32_t& outLen) {
  if (!modeValid()) return kBadMode;
  if (in.size() < kBlockSize || in.size() % kBlockSize != 0) return kBadLength;
  const std::size_t body = in.size() - kBlockSize;
  transform(Direction::Decrypt, in.data(), out, body);
  WorkBlock last;
  transform(Direction::Decrypt, in.data() + body, last.bytes.data(), kBlockSize);
  const auto pad = paddingLength(last.bytes);
  if (!pad) return kBadPadding;
  std::copy_n(last.bytes.begin(), kBlockSize - *pad, out + body);
  outLen = static_cast<std::uint32_t>(in.size() - *pad);
  return kOk;
}

void BlockEngine::absorb(const std::uint8_t* block) {
  for (std::size_t i = 0; i < kBlockSize; ++i) state_.mac[i] ^= block[i];
  cipher_.encryptBlock(state_.mac);
}

std::int32_t BlockEngine::macUpdate(std::span<const std::uint8_t> in) {
  const InputSplit split = splitInput(state_.bufLen, in.size(), kBlockSize, HoldBack::None);
  if (split.buffered) {
    appendPending(in);
    return kOk;
  }
  if (split.completesPending) {
    std::copy_n(in.begin(), split.fill, state_.buf.begin() + state_.bufLen);
    absorb(state_.buf.data());
  }
  for (std::size_t at = split.fill; at < split.fill + split.run; at += kBlockSize)
    absorb(in.data() + at);
  std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(split.fill + split.run), split.tail,
              state_.buf.begin());
  state_.bufLen = static_cast<std::uint32_t>(split.tail);
  return kOk;
}

std::int32_t BlockEngine::macFinal(std::uint8_t* mac, std::uint32_t macLen) {
  if (macLen > kBlockSize) return kBadLength;
  padBlock(state_.buf, std::min<std::size_t>(state_.bufLen, kBlockSize));
  for (std::size_t i = 0; i < kBlockSize; ++i) state_.mac[i] ^= state_.buf[i];
  WorkBlock last;
  last.bytes = state_.mac;
  cipher_.encryptBlock(last.bytes);
  std::copy_n(last.bytes.begin(), macLen, mac);
  return kOk;
}

}  // namespace dal::ciphers

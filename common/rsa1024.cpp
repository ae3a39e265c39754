#include "common/rsa1024.h"

#include <openssl/crypto.h>

#include <algorithm>

namespace common {
namespace {

constexpr std::size_t kMinPadding = 8;

// All ones when the condition holds, all zeros otherwise, with no branch.
std::uint32_t maskIfZero(std::uint32_t a) { return 0u - ((~a & (a - 1)) >> 31); }
std::uint32_t maskIfEqual(std::uint32_t a, std::uint32_t b) { return maskIfZero(a ^ b); }
std::uint32_t maskIfLess(std::uint32_t a, std::uint32_t b) {
  return 0u - ((a ^ ((a ^ b) | ((a - b) ^ b))) >> 31);
}
std::uint32_t pick(std::uint32_t mask, std::uint32_t a, std::uint32_t b) {
  return (mask & a) | (~mask & b);
}

// Where the separator after the padding is, and whether the block is well
// formed so far; every byte is looked at whatever it holds.
std::uint32_t findSeparator(RsaBlockView block, std::uint32_t& good) {
  constexpr auto kBlock = static_cast<std::uint32_t>(kModulusBytes);
  good = maskIfZero(block[0]) & maskIfEqual(block[1], 2);
  std::uint32_t zeroFound = 0;
  std::uint32_t zeroIndex = 0;
  for (std::uint32_t i = 2; i < kBlock; ++i) {
    const std::uint32_t isZero = maskIfZero(block[i]);
    zeroIndex = pick(~zeroFound & isZero, i, zeroIndex);
    zeroFound |= isZero;
  }
  good &= zeroFound & ~maskIfLess(zeroIndex, 2 + kMinPadding);
  return zeroIndex;
}

}  // namespace

std::optional<RsaBlock> signatureBlock(ByteView data) {
  RsaBlock block;
  if (data.size() + 3 + kMinPadding > block.size()) return std::nullopt;
  block.fill(0xFF);
  block[0] = 0x00;
  block[1] = 0x01;
  const std::size_t start = block.size() - data.size();
  block[start - 1] = 0x00;
  std::copy(data.begin(), data.end(), block.begin() + static_cast<std::ptrdiff_t>(start));
  return block;
}

int removeEncryptionPadding(RsaBlockView block, std::span<std::uint8_t> out) {
  constexpr auto kBlock = static_cast<std::uint32_t>(kModulusBytes);
  constexpr auto kMaxMessage = static_cast<std::uint32_t>(kMaxEncryptedMessage);
  std::uint32_t good = 0;
  const std::uint32_t zeroIndex = findSeparator(block, good);
  const std::uint32_t messageLength = kBlock - 1 - zeroIndex;
  good &= ~maskIfLess(static_cast<std::uint32_t>(out.size()), messageLength);

  // Move the message to the front of a buffer of the largest message size
  // by shifts of 1, 2, 4... bytes chosen by mask, so that no memory access
  // depends on where the message starts.
  std::array<std::uint8_t, kMaxMessage> message;
  std::copy(block.end() - kMaxMessage, block.end(), message.begin());
  const std::uint32_t shift = (zeroIndex + 1 - (kBlock - kMaxMessage)) & pick(good, ~0u, 0u);
  for (std::uint32_t step = 1; step < kMaxMessage; step <<= 1) {
    const std::uint32_t mask = ~maskIfZero(shift & step);
    for (std::uint32_t i = 0; i + step < kMaxMessage; ++i)
      message[i] = static_cast<std::uint8_t>(pick(mask, message[i + step], message[i]));
  }
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = i < kMaxMessage ? static_cast<std::uint8_t>(message[i] & good) : 0;
  OPENSSL_cleanse(message.data(), message.size());
  return static_cast<int>(pick(good, messageLength, ~0u));
}

std::optional<SecretBytes> encryptedMessage(RsaBlockView block) {
  SecretBytes message(kMaxEncryptedMessage);
  const int length = removeEncryptionPadding(block, message.span());
  if (length < 0) return std::nullopt;
  message.resize(static_cast<std::size_t>(length));
  return message;
}

}  // namespace common

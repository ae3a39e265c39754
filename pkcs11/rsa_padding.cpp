// libcrypto's OAEP check is declared deprecated in OpenSSL 3, but it is
// the constant-time decoding the raw private operation needs.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "rsa_padding.h"

#include <openssl/crypto.h>
#include <openssl/rsa.h>

#include <algorithm>

namespace p11 {
namespace {

constexpr std::size_t kMinPadding = 8;
constexpr std::size_t kModulusBitCount = kModulusBytes * 8;

// All ones when the condition holds, all zeros otherwise, with no branch.
std::uint32_t maskIfZero(std::uint32_t a) { return 0u - ((~a & (a - 1)) >> 31); }
std::uint32_t maskIfEqual(std::uint32_t a, std::uint32_t b) { return maskIfZero(a ^ b); }
std::uint32_t maskIfLess(std::uint32_t a, std::uint32_t b) {
  return 0u - ((a ^ ((a ^ b) | ((a - b) ^ b))) >> 31);
}
std::uint32_t pick(std::uint32_t mask, std::uint32_t a, std::uint32_t b) {
  return (mask & a) | (~mask & b);
}

bool mgf1Xor(const HashInfo& mgf, ByteView seed, std::span<std::uint8_t> target) {
  Bytes out;
  for (std::uint32_t counter = 0, done = 0; done < target.size(); ++counter) {
    const std::uint8_t c[4] = {
        static_cast<std::uint8_t>(counter >> 24), static_cast<std::uint8_t>(counter >> 16),
        static_cast<std::uint8_t>(counter >> 8), static_cast<std::uint8_t>(counter)};
    Digest d(mgf);
    if (!d.update(seed) || !d.update(c) || !d.finish(out)) return false;
    for (std::size_t i = 0; i < out.size() && done < target.size(); ++i, ++done)
      target[done] ^= out[i];
  }
  return true;
}

}  // namespace

bool pkcs1SignatureBlock(ByteView data, Block& block) {
  if (data.size() + 3 + kMinPadding > block.size()) return false;
  block.fill(0xFF);
  block[0] = 0x00;
  block[1] = 0x01;
  const std::size_t start = block.size() - data.size();
  block[start - 1] = 0x00;
  std::copy(data.begin(), data.end(), block.begin() + static_cast<std::ptrdiff_t>(start));
  return true;
}

Bytes digestInfo(const HashInfo& hash, ByteView digest) {
  Bytes info(hash.digestInfoPrefix.begin(), hash.digestInfoPrefix.end());
  info.insert(info.end(), digest.begin(), digest.end());
  return info;
}

std::size_t maxPssSalt(const HashInfo& hash) { return kModulusBytes - hash.size - 2; }

bool pssBlock(const HashInfo& hash, const HashInfo& mgf, ByteView messageHash, ByteView salt,
              Block& block) {
  if (messageHash.size() != hash.size || salt.size() > maxPssSalt(hash)) return false;
  // H = Hash(8 zero bytes || mHash || salt)
  const std::uint8_t zeros[8] = {};
  Bytes h;
  Digest d(hash);
  if (!d.update(zeros) || !d.update(messageHash) || !d.update(salt) || !d.finish(h)) return false;
  // EM = maskedDB || H || BC, DB = PS || 01 || salt
  const std::size_t dbLength = block.size() - hash.size - 1;
  block.fill(0);
  block[dbLength - salt.size() - 1] = 0x01;
  std::copy(salt.begin(), salt.end(),
            block.begin() + static_cast<std::ptrdiff_t>(dbLength - salt.size()));
  if (!mgf1Xor(mgf, h, std::span(block).first(dbLength))) return false;
  // The encoded message has one bit fewer than the modulus.
  block[0] &= static_cast<std::uint8_t>(0xFF >> (8 * block.size() - (kModulusBitCount - 1)));
  std::copy(h.begin(), h.end(), block.begin() + static_cast<std::ptrdiff_t>(dbLength));
  block.back() = 0xBC;
  return true;
}

int removeEncryptionPadding(const Block& block, std::span<std::uint8_t> out) {
  constexpr auto k = static_cast<std::uint32_t>(kModulusBytes);
  constexpr std::uint32_t kMaxMessage = k - 3 - kMinPadding;
  std::uint32_t good = maskIfZero(block[0]) & maskIfEqual(block[1], 2);
  std::uint32_t zeroFound = 0;
  std::uint32_t zeroIndex = 0;
  for (std::uint32_t i = 2; i < k; ++i) {
    const std::uint32_t isZero = maskIfZero(block[i]);
    zeroIndex = pick(~zeroFound & isZero, i, zeroIndex);
    zeroFound |= isZero;
  }
  good &= zeroFound & ~maskIfLess(zeroIndex, 2 + kMinPadding);
  const std::uint32_t messageLength = k - 1 - zeroIndex;
  good &= ~maskIfLess(static_cast<std::uint32_t>(out.size()), messageLength);

  // Move the message to the front of a buffer of the largest message size
  // by shifts of 1, 2, 4... bytes chosen by mask, so that no memory access
  // depends on where the message starts.
  std::array<std::uint8_t, kMaxMessage> message;
  std::copy(block.end() - kMaxMessage, block.end(), message.begin());
  const std::uint32_t shift = (zeroIndex + 1 - (k - kMaxMessage)) & pick(good, ~0u, 0u);
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

int removeOaepPadding(const Block& block, const HashInfo& hash, const HashInfo& mgf, ByteView label,
                      std::span<std::uint8_t> out) {
  const int n = RSA_padding_check_PKCS1_OAEP_mgf1(
      out.data(), static_cast<int>(out.size()), block.data(), static_cast<int>(block.size()),
      static_cast<int>(block.size()), label.data(), static_cast<int>(label.size()), hash.md(),
      mgf.md());
  return n < 0 ? -1 : n;
}

}  // namespace p11

// libcrypto's OAEP check is declared deprecated in OpenSSL 3, but it is
// the constant-time decoding the raw private operation needs.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "crypto/rsa_padding.h"

#include <openssl/rsa.h>

#include <algorithm>

#include "common/rsa1024.h"

namespace p11 {
namespace {

constexpr std::size_t kModulusBitCount = common::kModulusBytes * 8;

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

std::size_t maxPssSalt(const HashInfo& hash) { return common::kModulusBytes - hash.size() - 2; }

bool pssBlock(const HashInfo& hash, const HashInfo& mgf, ByteView messageHash, ByteView salt,
              Block& block) {
  if (messageHash.size() != hash.size() || salt.size() > maxPssSalt(hash)) return false;
  // H = Hash(8 zero bytes || mHash || salt)
  const std::uint8_t zeros[8] = {};
  Bytes h;
  Digest d(hash);
  if (!d.update(zeros) || !d.update(messageHash) || !d.update(salt) || !d.finish(h)) return false;
  // EM = maskedDB || H || BC, DB = PS || 01 || salt
  const std::size_t dbLength = block.size() - hash.size() - 1;
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

int removeOaepPadding(ByteView block, const HashInfo& hash, const HashInfo& mgf, ByteView label,
                      std::span<std::uint8_t> out) {
  const int n = RSA_padding_check_PKCS1_OAEP_mgf1(
      out.data(), static_cast<int>(out.size()), block.data(), static_cast<int>(block.size()),
      static_cast<int>(block.size()), label.data(), static_cast<int>(label.size()), hash.md(),
      mgf.md());
  return n < 0 ? -1 : n;
}

}  // namespace p11

#include "pkcs1_blocks.h"

#include <algorithm>

namespace tkp30 {
namespace {

// DER of SEQUENCE { SEQUENCE { OID sha256, NULL }, OCTET STRING (32) }.
constexpr std::array<std::uint8_t, 19> kSha256DigestInfoPrefix = {
    0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
    0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};
constexpr std::size_t kMinimumPadding = 8;

}  // namespace

std::vector<std::uint8_t> sha256DigestInfo(const Sha256& digest) {
  std::vector<std::uint8_t> info(kSha256DigestInfoPrefix.size() + digest.size());
  const auto rest =
      std::copy(kSha256DigestInfoPrefix.begin(), kSha256DigestInfoPrefix.end(), info.begin());
  std::copy(digest.begin(), digest.end(), rest);
  return info;
}

RsaBlock signatureBlock(const Sha256& digest) {
  const auto info = sha256DigestInfo(digest);
  RsaBlock block;
  block.fill(0xFF);
  block[0] = 0x00;
  block[1] = 0x01;
  const std::size_t start = block.size() - info.size();
  block[start - 1] = 0x00;
  std::copy(info.begin(), info.end(), block.begin() + static_cast<std::ptrdiff_t>(start));
  return block;
}

std::optional<std::vector<std::uint8_t>> unpadEncryptionBlock(std::span<const std::uint8_t> block) {
  if (block.size() < 3 + kMinimumPadding || block[0] != 0x00 || block[1] != 0x02)
    return std::nullopt;
  const auto separator = std::find(block.begin() + 2, block.end(), std::uint8_t{0});
  if (separator == block.end() ||
      separator - (block.begin() + 2) < static_cast<std::ptrdiff_t>(kMinimumPadding))
    return std::nullopt;
  return std::vector<std::uint8_t>(separator + 1, block.end());
}

}  // namespace tkp30

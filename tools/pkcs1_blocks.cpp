#include "pkcs1_blocks.h"

#include <algorithm>

namespace tkp30 {
namespace {

constexpr std::size_t kMinimumPadding = 8;

}  // namespace

std::vector<std::uint8_t> sha256DigestInfo(const Sha256& digest) {
  std::vector<std::uint8_t> info(kSha256DigestInfoPrefix.size() + digest.size());
  const auto rest =
      std::copy(kSha256DigestInfoPrefix.begin(), kSha256DigestInfoPrefix.end(), info.begin());
  std::copy(digest.begin(), digest.end(), rest);
  return info;
}

RsaBlock signatureBlock(const Sha256& digest) { return *signatureBlock(sha256DigestInfo(digest)); }

std::optional<RsaBlock> signatureBlock(std::span<const std::uint8_t> digestInfo) {
  RsaBlock block;
  if (digestInfo.size() + 3 + kMinimumPadding > block.size()) return std::nullopt;
  block.fill(0xFF);
  block[0] = 0x00;
  block[1] = 0x01;
  const std::size_t start = block.size() - digestInfo.size();
  block[start - 1] = 0x00;
  std::copy(digestInfo.begin(), digestInfo.end(),
            block.begin() + static_cast<std::ptrdiff_t>(start));
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

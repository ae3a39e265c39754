#include "digest.h"

#include <openssl/evp.h>

#include <array>
#include <memory>

#include "file_io.h"
#include "tool_error.h"

namespace tkp30 {
namespace {

// The DER in front of the digest: SEQUENCE { SEQUENCE { OID, NULL },
// OCTET STRING (digest length) }.
std::span<const std::uint8_t> digestInfoPrefix(Hash hash) {
  static constexpr std::array<std::uint8_t, 15> kSha1 = {
      0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e, 0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};
  static constexpr std::array<std::uint8_t, 19> kSha384 = {0x30, 0x41, 0x30, 0x0d, 0x06, 0x09, 0x60,
                                                           0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02,
                                                           0x02, 0x05, 0x00, 0x04, 0x30};
  static constexpr std::array<std::uint8_t, 19> kSha512 = {0x30, 0x51, 0x30, 0x0d, 0x06, 0x09, 0x60,
                                                           0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02,
                                                           0x03, 0x05, 0x00, 0x04, 0x40};
  switch (hash) {
    case Hash::kSha1: return kSha1;
    case Hash::kSha256: return kSha256DigestInfoPrefix;
    case Hash::kSha384: return kSha384;
    case Hash::kSha512: return kSha512;
  }
  return kSha256DigestInfoPrefix;
}

void digestFile(const EVP_MD* md, const std::string& path, std::span<std::uint8_t> out) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1)
    throw Failure(std::string(EVP_MD_get0_name(md)) + " is not available");
  InputFile in(path);
  std::vector<std::uint8_t> chunk(1 << 16);
  while (const std::size_t n = in.read(chunk)) EVP_DigestUpdate(ctx.get(), chunk.data(), n);
  unsigned int length = 0;
  if (out.size() != static_cast<std::size_t>(EVP_MD_get_size(md)) ||
      EVP_DigestFinal_ex(ctx.get(), out.data(), &length) != 1 || length != out.size())
    throw Failure("the digest failed");
}

const EVP_MD* mdOf(Hash hash) {
  switch (hash) {
    case Hash::kSha1: return EVP_sha1();
    case Hash::kSha256: return EVP_sha256();
    case Hash::kSha384: return EVP_sha384();
    case Hash::kSha512: return EVP_sha512();
  }
  return EVP_sha256();
}

}  // namespace

const char* hashName(Hash hash) { return EVP_MD_get0_name(mdOf(hash)); }

Sha256 sha256OfFile(const std::string& path) {
  Sha256 digest{};
  digestFile(EVP_sha256(), path, digest);
  return digest;
}

std::vector<std::uint8_t> digestOfFile(Hash hash, const std::string& path) {
  std::vector<std::uint8_t> digest(static_cast<std::size_t>(EVP_MD_get_size(mdOf(hash))));
  digestFile(mdOf(hash), path, digest);
  return digest;
}

std::vector<std::uint8_t> digestInfo(Hash hash, std::span<const std::uint8_t> digest) {
  const auto prefix = digestInfoPrefix(hash);
  std::vector<std::uint8_t> info(prefix.begin(), prefix.end());
  info.insert(info.end(), digest.begin(), digest.end());
  return info;
}

Sha256 sha256Of(std::span<const std::uint8_t> bytes) {
  Sha256 digest{};
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1)
    throw Failure("SHA-256 failed");
  return digest;
}

}  // namespace tkp30

#include "crypto/digest.h"

#include <openssl/evp.h>

#include <memory>

#include "common/digest_info.h"
#include "common/ossl_owned.h"
#include "io/file_io.h"
#include "io/tool_error.h"

namespace tkp30 {
namespace {

void digestFile(const EVP_MD* md, const std::string& path, std::span<std::uint8_t> out) {
  const common::Owned<EVP_MD_CTX> ctx(EVP_MD_CTX_new());
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

}  // namespace

Sha256 sha256OfFile(const std::string& path) {
  Sha256 digest{};
  digestFile(EVP_sha256(), path, digest);
  return digest;
}

std::vector<std::uint8_t> digestOfFile(common::Hash hash, const std::string& path) {
  const common::HashSpec& spec = common::specOf(hash);
  std::vector<std::uint8_t> digest(spec.size);
  digestFile(spec.md(), path, digest);
  return digest;
}

Sha256 sha256Of(std::span<const std::uint8_t> bytes) {
  Sha256 digest{};
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1)
    throw Failure("SHA-256 failed");
  return digest;
}

}  // namespace tkp30

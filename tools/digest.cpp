#include "digest.h"

#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "file_io.h"
#include "tool_error.h"

namespace tkp30 {

Sha256 sha256OfFile(const std::string& path) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1)
    throw Failure("SHA-256 is not available");
  InputFile in(path);
  std::vector<std::uint8_t> chunk(1 << 16);
  while (const std::size_t n = in.read(chunk)) EVP_DigestUpdate(ctx.get(), chunk.data(), n);
  Sha256 digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(ctx.get(), digest.data(), &length) != 1 || length != digest.size())
    throw Failure("SHA-256 failed");
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

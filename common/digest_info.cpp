#include "common/digest_info.h"

#include <array>

namespace common {
namespace {

constexpr std::uint8_t kSha1Prefix[] = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                                        0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};
// SHA-2: the OID 2.16.840.1.101.3.4.2.n, the digest's length at the end.
constexpr std::uint8_t kSha224Prefix[] = {0x30, 0x2d, 0x30, 0x0d, 0x06, 0x09, 0x60,
                                          0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02,
                                          0x04, 0x05, 0x00, 0x04, 0x1c};
constexpr std::uint8_t kSha256Prefix[] = {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60,
                                          0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02,
                                          0x01, 0x05, 0x00, 0x04, 0x20};
constexpr std::uint8_t kSha384Prefix[] = {0x30, 0x41, 0x30, 0x0d, 0x06, 0x09, 0x60,
                                          0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02,
                                          0x02, 0x05, 0x00, 0x04, 0x30};
constexpr std::uint8_t kSha512Prefix[] = {0x30, 0x51, 0x30, 0x0d, 0x06, 0x09, 0x60,
                                          0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02,
                                          0x03, 0x05, 0x00, 0x04, 0x40};

const std::array<HashSpec, 5> kHashes = {{
    {Hash::Sha1, "SHA1", 20, kSha1Prefix, EVP_sha1},
    {Hash::Sha224, "SHA224", 28, kSha224Prefix, EVP_sha224},
    {Hash::Sha256, "SHA256", 32, kSha256Prefix, EVP_sha256},
    {Hash::Sha384, "SHA384", 48, kSha384Prefix, EVP_sha384},
    {Hash::Sha512, "SHA512", 64, kSha512Prefix, EVP_sha512},
}};

}  // namespace

const HashSpec& specOf(Hash hash) { return kHashes[static_cast<std::size_t>(hash)]; }

Bytes digestInfo(Hash hash, ByteView digest) {
  const ByteView prefix = specOf(hash).digestInfoPrefix;
  Bytes info(prefix.begin(), prefix.end());
  info.insert(info.end(), digest.begin(), digest.end());
  return info;
}

}  // namespace common

// libcrypto's RSA object interfaces are deprecated in OpenSSL 3 but are
// the ones this library is built on.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "keys/software_rsa.h"

#include <openssl/bn.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstring>

#include "keys/rsa_key_cache.h"

namespace dal {
namespace {

constexpr std::size_t kModulus1024 = 128;
constexpr std::size_t kModulus2048 = 256;
constexpr std::uint8_t kExponent65537[] = {0x01, 0x00, 0x01};

using Bignum = std::unique_ptr<BIGNUM, decltype(&BN_free)>;

// From the first nonzero byte on: the value of a right-aligned number.
Bignum toBignum(std::span<const std::uint8_t, kMaxModulusBytes> bytes) {
  const auto first =
      std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; });
  const auto length = static_cast<int>(bytes.end() - first);
  return Bignum(BN_bin2bn(bytes.data() + (first - bytes.begin()), length, nullptr), &BN_free);
}

}  // namespace

bool supportedModulusLength(std::size_t nLen) {
  return nLen == kModulus1024 || nLen == kModulus2048;
}

PublicKeyRecord makePublicKeyRecord(std::span<const std::uint8_t> n) {
  PublicKeyRecord record;
  record.bits = static_cast<std::uint32_t>(8 * n.size());
  std::copy(n.begin(), n.end(), record.modulus.end() - static_cast<std::ptrdiff_t>(n.size()));
  std::copy(std::begin(kExponent65537), std::end(kExponent65537),
            record.exponent.end() - static_cast<std::ptrdiff_t>(sizeof kExponent65537));
  return record;
}

void RsaPublicKey::Free::operator()(RSA* rsa) const { RSA_free(rsa); }

std::optional<RsaPublicKey> RsaPublicKey::fromRecord(const PublicKeyRecord& record) {
  RsaPublicKey key(RSA_new());
  Bignum n = toBignum(record.modulus);
  Bignum e = toBignum(record.exponent);
  if (!key.rsa_ || !n || !e) return std::nullopt;
  if (RSA_set0_key(key.rsa_.get(), n.get(), e.get(), nullptr) != 1) return std::nullopt;
  static_cast<void>(n.release());  // now owned by the RSA object
  static_cast<void>(e.release());
  return key;
}

namespace {

// One public-key operation on the key's object, built once for as long as
// the cache keeps it.
bool publicEncrypt(const PublicKeyRecord& key, std::span<const std::uint8_t> input,
                   std::uint8_t* output, std::int32_t& outputLen, int padding) {
  const auto rsa = softRsaKeyCache().get(key);
  if (!rsa) return false;
  const int written =
      RSA_public_encrypt(static_cast<int>(input.size()), input.data(), output, rsa->get(), padding);
  if (written <= 0) return false;
  outputLen = written;
  return true;
}

}  // namespace

bool softRsaRaw(const PublicKeyRecord& key, std::span<const std::uint8_t> input,
                std::uint8_t* output, std::int32_t& outputLen) {
  if (input.size() != key.bits / 8) return false;
  return publicEncrypt(key, input, output, outputLen, RSA_NO_PADDING);
}

// The length limit (the key's size less 11) is libcrypto's to enforce.
bool softRsaPkcs1Encrypt(const PublicKeyRecord& key, std::span<const std::uint8_t> input,
                         std::uint8_t* output, std::int32_t& outputLen) {
  if (input.size() > kMaxModulusBytes) return false;  // too long for any key; keeps int exact
  return publicEncrypt(key, input, output, outputLen, RSA_PKCS1_PADDING);
}

bool softRsaPkcs1Decrypt(const PublicKeyRecord& key, std::span<const std::uint8_t> input,
                         std::uint8_t* output, std::int32_t& outputLen) {
  if (input.size() != key.bits / 8) return false;
  const auto rsa = softRsaKeyCache().get(key);
  if (!rsa) return false;
  std::array<std::uint8_t, kMaxModulusBytes> block{};
  const int length = RSA_public_decrypt(static_cast<int>(input.size()), input.data(), block.data(),
                                        rsa->get(), RSA_PKCS1_PADDING);
  if (length <= 0) return false;  // also a well-formed block with no data
  std::memcpy(output, block.data(), static_cast<std::size_t>(length));
  outputLen = length;
  return true;
}

}  // namespace dal

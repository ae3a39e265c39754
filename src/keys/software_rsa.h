// RSA public-key operations in software with a caller's modulus and the
// fixed exponent 65537, through libcrypto's RSA object; the objects of the
// last few keys are kept (keys/rsa_key_cache.h).
#pragma once

#include <openssl/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace dal {

inline constexpr std::size_t kMaxModulusBytes = 256;

// True for the two modulus lengths the software operations accept (bytes).
bool supportedModulusLength(std::size_t nLen);

// The caller's key in a fixed shape: both numbers big-endian and
// right-aligned in 256 bytes, `bits` the nominal size (8 x nLen).
struct PublicKeyRecord {
  std::uint32_t bits = 0;
  std::array<std::uint8_t, kMaxModulusBytes> modulus{};
  std::array<std::uint8_t, kMaxModulusBytes> exponent{};
};

// `n` must have a supported length.
PublicKeyRecord makePublicKeyRecord(std::span<const std::uint8_t> n);

// Owns one libcrypto RSA object carrying only n and e; freed on every path.
class RsaPublicKey {
 public:
  // Empty when libcrypto cannot build the object.
  static std::optional<RsaPublicKey> fromRecord(const PublicKeyRecord& record);
  RSA* get() const { return rsa_.get(); }

 private:
  struct Free {
    void operator()(RSA* rsa) const;
  };
  explicit RsaPublicKey(RSA* rsa) : rsa_(rsa) {}
  std::unique_ptr<RSA, Free> rsa_;
};

// Each writes the result and its length only on success. `output` holds
// the modulus's length in bytes (raw, encryption) or up to that less 11
// (decryption).
bool softRsaRaw(const PublicKeyRecord& key, std::span<const std::uint8_t> input,
                std::uint8_t* output, std::int32_t& outputLen);
bool softRsaPkcs1Encrypt(const PublicKeyRecord& key, std::span<const std::uint8_t> input,
                         std::uint8_t* output, std::int32_t& outputLen);
// Checks a block-type-1 block; a block carrying no data is a failure.
bool softRsaPkcs1Decrypt(const PublicKeyRecord& key, std::span<const std::uint8_t> input,
                         std::uint8_t* output, std::int32_t& outputLen);

}  // namespace dal

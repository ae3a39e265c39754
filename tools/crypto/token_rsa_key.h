// A key pair on the token as a libcrypto key: the public half is the
// slot's modulus, and every private-key signature is made by the token,
// so libcrypto can build and sign certificate requests and certificates
// while the private key never leaves the token.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "common/ossl_owned.h"

namespace tkp30 {

class TokenRsaKey {
 public:
  // `modulus` is the slot's, as read from the token.
  TokenRsaKey(int slot, std::span<const std::uint8_t> modulus);
  ~TokenRsaKey();
  TokenRsaKey(const TokenRsaKey&) = delete;
  TokenRsaKey& operator=(const TokenRsaKey&) = delete;

  EVP_PKEY* get() const { return key_.get(); }
  // Throws LibraryError when the token refused the last signature.
  void throwIfTokenFailed() const;

  struct Signer;

 private:
  std::unique_ptr<Signer> signer_;
  common::Owned<EVP_PKEY> key_;
};

}  // namespace tkp30

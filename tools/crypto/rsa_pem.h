// RSA private keys from PEM files into the token's raw components.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/rsa1024.h"
#include "common/secret_bytes.h"
#include "common/token_shape.h"

namespace tkp30 {

// A 1024-bit private key in the form the token imports: the modulus and
// the CRT components, big-endian, each left-padded to its full width.
struct TokenPrivateKey {
  std::array<std::uint8_t, common::kModulusBytes> modulus{};
  common::SecretBytes prime1{common::kCrtComponentBytes};
  common::SecretBytes prime2{common::kCrtComponentBytes};
  common::SecretBytes exponent1{common::kCrtComponentBytes};
  common::SecretBytes exponent2{common::kCrtComponentBytes};
  common::SecretBytes coefficient{common::kCrtComponentBytes};
};

// Where the pass phrase of an encrypted key comes from: "env:VARIABLE"
// or "file:PATH" (its first line). Throws UsageError for anything else.
common::SecretBytes readPassphrase(const std::string& source);

// Parses a PEM RSA private key (PKCS #1 or PKCS #8, encrypted or not)
// held in memory; `name` names it in messages. An encrypted key takes
// `passphrase`, or without one asks on the terminal, and without a
// terminal fails rather than waiting for one. Fails unless the key is
// 1024 bits with the public exponent 65537, the only keys the token holds.
TokenPrivateKey parsePrivateKeyPem(std::span<const std::uint8_t> pem, const std::string& name,
                                   const std::optional<common::SecretBytes>& passphrase);

// The same for a PEM file.
TokenPrivateKey readPrivateKeyPem(const std::string& path,
                                  const std::optional<common::SecretBytes>& passphrase);

}  // namespace tkp30

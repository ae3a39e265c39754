// RSA keys between PEM files and the token's raw components.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "secret_bytes.h"
#include "token_layout.h"

namespace tkp30 {

// A 1024-bit private key in the form the token imports: the modulus and
// the CRT components, big-endian, each left-padded to its full width.
struct TokenPrivateKey {
  std::array<std::uint8_t, kModulusBytes> modulus{};
  SecretBytes prime1{kCrtComponentBytes};
  SecretBytes prime2{kCrtComponentBytes};
  SecretBytes exponent1{kCrtComponentBytes};
  SecretBytes exponent2{kCrtComponentBytes};
  SecretBytes coefficient{kCrtComponentBytes};
};

// Reads an unencrypted PEM RSA private key (PKCS #1 or PKCS #8). Fails
// unless it is 1024 bits with the public exponent 65537, the only keys
// the token holds.
TokenPrivateKey readPrivateKeyPem(const std::string& path);

// The public key of a modulus with exponent 65537, as PEM
// SubjectPublicKeyInfo ("BEGIN PUBLIC KEY").
std::string publicKeyPem(std::span<const std::uint8_t> modulus);

}  // namespace tkp30

// A token key pair's public key (its modulus, exponent 65537) in the
// forms other tools read: PEM or DER SubjectPublicKeyInfo, an OpenSSH
// line.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ossl_owned.h"

namespace tkp30 {

// The public exponent of every key the token holds.
inline constexpr unsigned long kPublicExponent = 65537;

Owned<EVP_PKEY> publicKeyOf(std::span<const std::uint8_t> modulus);

std::string publicKeyPem(std::span<const std::uint8_t> modulus);
std::vector<std::uint8_t> publicKeyDer(std::span<const std::uint8_t> modulus);
// "ssh-rsa <base64> <comment>\n", as in authorized_keys.
std::string publicKeySsh(std::span<const std::uint8_t> modulus, const std::string& comment);

}  // namespace tkp30

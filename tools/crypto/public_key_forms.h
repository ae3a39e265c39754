// A token key pair's public key in the forms other tools read: PEM or DER
// SubjectPublicKeyInfo, an OpenSSH line. Each throws Failure when the
// modulus is no usable key.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/ossl_owned.h"

namespace tkp30 {

common::Owned<EVP_PKEY> publicKeyOf(std::span<const std::uint8_t> modulus);

std::string publicKeyPem(std::span<const std::uint8_t> modulus);
std::vector<std::uint8_t> publicKeyDer(std::span<const std::uint8_t> modulus);
// "ssh-rsa <base64> <comment>\n", as in authorized_keys.
std::string publicKeySsh(std::span<const std::uint8_t> modulus, const std::string& comment);

}  // namespace tkp30

// Checks of the token's RSA results by the openssl command-line tool, an
// implementation independent of the library's own RSA code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// True when `openssl pkeyutl -verify` accepts `signature` as an RSA
// PKCS #1 v1.5 SHA-256 signature of `message` under the key in `publicPem`.
bool opensslVerifiesSha256(const std::string& publicPem, const std::vector<std::uint8_t>& message,
                           const std::vector<std::uint8_t>& signature);

}  // namespace e2e

// A token key pair's public half in software: built from its modulus and
// the exponent 65537, and the forms other programs read it in.
#pragma once

#include <string>

#include "common/bytes.h"
#include "common/ossl_owned.h"

namespace common {

// The key, built by libcrypto's own provider, so that an ENGINE an
// application registered for RSA (the openssl command and curl register
// libp11's) cannot take it over; null when libcrypto fails.
Owned<EVP_PKEY> rsaPublicKey(ByteView modulus);

// DER SubjectPublicKeyInfo; empty when libcrypto fails.
Bytes subjectPublicKeyInfo(EVP_PKEY* key);

// "ssh-rsa <base64> <comment>\n", as in authorized_keys.
std::string opensshPublicKey(ByteView modulus, const std::string& comment);

}  // namespace common

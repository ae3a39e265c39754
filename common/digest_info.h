// The hash functions a PKCS #1 v1.5 signature names, and the DigestInfo it
// carries: DER of SEQUENCE { SEQUENCE { OID, NULL }, OCTET STRING digest }.
#pragma once

#include <openssl/evp.h>

#include "common/bytes.h"

namespace common {

enum class Hash { Sha1, Sha224, Sha256, Sha384, Sha512 };

struct HashSpec {
  Hash hash;
  const char* name;  // libcrypto's ("SHA256")
  std::size_t size;
  ByteView digestInfoPrefix;  // the DER up to the digest itself
  const EVP_MD* (*md)();
};

const HashSpec& specOf(Hash hash);

// DigestInfo for `hash` around `digest`.
Bytes digestInfo(Hash hash, ByteView digest);

}  // namespace common

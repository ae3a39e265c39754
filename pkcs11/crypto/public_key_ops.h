// What a key pair's public half does in software (libcrypto): check
// signatures and encrypt. The key itself comes from common/rsa_public_key.h.
#pragma once

#include <openssl/evp.h>

#include "common/ossl_owned.h"
#include "crypto/hashes.h"

namespace p11 {

// How a signature or ciphertext is padded.
enum class Padding { Pkcs1, Raw, Pss, Oaep };

struct PaddingSpec {
  Padding padding = Padding::Pkcs1;
  const HashInfo* hash = nullptr;  // signature digest (PKCS #1 with a hash, PSS), OAEP hash
  const HashInfo* mgf = nullptr;   // PSS and OAEP
  std::size_t saltLength = 0;      // PSS
  Bytes label;                     // OAEP
};

// CKR_OK, CKR_SIGNATURE_INVALID or CKR_SIGNATURE_LEN_RANGE. `data` is the
// digest when scheme.hash is set (PKCS #1 with a hash, PSS), else the signed
// data itself.
CK_RV verifySignature(EVP_PKEY* key, const PaddingSpec& scheme, ByteView data, ByteView signature);

// CKR_OK with the ciphertext, or CKR_DATA_LEN_RANGE / CKR_DATA_INVALID.
CK_RV encryptWith(EVP_PKEY* key, const PaddingSpec& scheme, ByteView data, Bytes& out);

// True when the big-endian value is below the modulus.
bool belowModulus(ByteView value, const Modulus& modulus);

}  // namespace p11

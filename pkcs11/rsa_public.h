// A key pair's public half in software (libcrypto): verification and
// encryption, and its DER SubjectPublicKeyInfo.
#pragma once

#include <openssl/evp.h>

#include <array>
#include <memory>

#include "hashes.h"
#include "reserved_files.h"

namespace p11 {

using Modulus = std::array<std::uint8_t, kModulusBytes>;

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;

// The key with this modulus and the exponent 65537; null when libcrypto fails.
PkeyPtr rsaPublicKey(const Modulus& modulus);
Bytes subjectPublicKeyInfo(EVP_PKEY* key);

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

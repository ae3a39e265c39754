// The attributes of a key pair's two objects, from the modulus the token
// gives and what the directory knows of the pair.
#pragma once

#include <array>

#include "crypto/public_key_ops.h"
#include "records/attribute_values.h"
#include "records/directory.h"

namespace p11 {

// Private-key attributes the token never gives out.
inline constexpr std::array<CK_ATTRIBUTE_TYPE, 6> kPrivateKeySecrets = {
    CKA_PRIVATE_EXPONENT, CKA_PRIME_1,    CKA_PRIME_2,
    CKA_EXPONENT_1,       CKA_EXPONENT_2, CKA_COEFFICIENT};

inline constexpr std::uint16_t kDefaultPublicUsage = kUsageEncrypt | kUsageVerify;
inline constexpr std::uint16_t kDefaultPrivateUsage = kUsageDecrypt | kUsageSign;

Fingerprint fingerprintOf(const Modulus& modulus);
Bytes sha1Of(ByteView data);

// A key pair the directory knows nothing of: CKA_ID is the SHA-1 of its
// modulus, no label, the usual usage.
KeyEntry defaultKeyEntry(int slot, const Modulus& modulus);

// A null modulus (not read from the token yet) leaves out CKA_MODULUS and
// CKA_PUBLIC_KEY_INFO.
Attributes publicKeyAttributes(const KeyEntry& entry, const Modulus* modulus, ByteView spki);
Attributes privateKeyAttributes(const KeyEntry& entry, const Modulus* modulus, ByteView spki);

}  // namespace p11

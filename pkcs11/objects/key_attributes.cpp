#include "objects/key_attributes.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>

#include "common/rsa1024.h"
#include "crypto/mechanisms.h"

namespace p11 {
namespace {

struct UsageAttribute {
  KeyUsage bit;
  CK_ATTRIBUTE_TYPE type;
};
constexpr UsageAttribute kPublicUsage[] = {{kUsageEncrypt, CKA_ENCRYPT},
                                           {kUsageVerify, CKA_VERIFY},
                                           {kUsageVerifyRecover, CKA_VERIFY_RECOVER},
                                           {kUsageWrap, CKA_WRAP},
                                           {kUsageDerive, CKA_DERIVE}};
constexpr UsageAttribute kPrivateUsage[] = {{kUsageDecrypt, CKA_DECRYPT},
                                            {kUsageSign, CKA_SIGN},
                                            {kUsageSignRecover, CKA_SIGN_RECOVER},
                                            {kUsageUnwrap, CKA_UNWRAP},
                                            {kUsageDerive, CKA_DERIVE}};

Bytes allowedMechanisms() {
  Bytes list;
  for (const MechanismEntry& m : mechanismTable()) {
    if ((m.info.flags & (CKF_SIGN | CKF_VERIFY | CKF_ENCRYPT | CKF_DECRYPT)) == 0) continue;
    const Bytes type = ulongBytes(m.type);
    list.insert(list.end(), type.begin(), type.end());
  }
  return list;
}

// Without the modulus (not read from the token yet) the attributes that
// come from it are left out.
void commonKeyAttributes(Attributes& a, const KeyEntry& entry, const KeyHalf& half,
                         const Modulus* modulus, ByteView spki) {
  a.setBool(CKA_TOKEN, true);
  a.setBool(CKA_PRIVATE, half.isPrivate);
  a.setBool(CKA_MODIFIABLE, !half.readOnly);
  a.setBool(CKA_COPYABLE, false);
  a.setBool(CKA_DESTROYABLE, true);
  a.set(CKA_LABEL, half.label);
  a.setUlong(CKA_KEY_TYPE, CKK_RSA);
  a.set(CKA_ID, half.id);
  a.set(CKA_START_DATE, {});
  a.set(CKA_END_DATE, {});
  a.setBool(CKA_LOCAL, entry.generated);
  a.setUlong(CKA_KEY_GEN_MECHANISM,
             entry.generated ? CKM_RSA_PKCS_KEY_PAIR_GEN : CK_UNAVAILABLE_INFORMATION);
  a.set(CKA_ALLOWED_MECHANISMS, allowedMechanisms());
  a.set(CKA_SUBJECT, {});
  a.setUlong(CKA_MODULUS_BITS, common::kModulusBits);
  a.set(CKA_PUBLIC_EXPONENT,
        Bytes(common::kPublicExponentBytes.begin(), common::kPublicExponentBytes.end()));
  if (modulus == nullptr) return;
  a.set(CKA_MODULUS, Bytes(modulus->begin(), modulus->end()));
  a.set(CKA_PUBLIC_KEY_INFO, Bytes(spki.begin(), spki.end()));
}

template <std::size_t N>
void usageAttributes(Attributes& a, std::uint16_t usage, const UsageAttribute (&table)[N]) {
  for (const UsageAttribute& u : table) a.setBool(u.type, (usage & u.bit) != 0);
}

}  // namespace

Bytes sha1Of(ByteView data) {
  Bytes digest(EVP_MAX_MD_SIZE);
  unsigned int n = 0;
  if (EVP_Digest(data.data(), data.size(), digest.data(), &n, EVP_sha1(), nullptr) != 1) return {};
  digest.resize(n);
  return digest;
}

Fingerprint fingerprintOf(const Modulus& modulus) {
  const Bytes digest = sha1Of(modulus);
  Fingerprint f{};
  std::copy_n(digest.begin(), std::min(digest.size(), f.size()), f.begin());
  return f;
}

KeyEntry defaultKeyEntry(int slot, const Modulus& modulus) {
  KeyEntry entry;
  entry.slot = slot;
  entry.fingerprint = fingerprintOf(modulus);
  entry.publicHalf.usage = kDefaultPublicUsage;
  entry.publicHalf.id = sha1Of(modulus);
  entry.privateHalf.isPrivate = true;
  entry.privateHalf.usage = kDefaultPrivateUsage;
  entry.privateHalf.id = entry.publicHalf.id;
  return entry;
}

Attributes publicKeyAttributes(const KeyEntry& entry, const Modulus* modulus, ByteView spki) {
  Attributes a;
  a.setUlong(CKA_CLASS, CKO_PUBLIC_KEY);
  commonKeyAttributes(a, entry, entry.publicHalf, modulus, spki);
  usageAttributes(a, entry.publicHalf.usage, kPublicUsage);
  a.setBool(CKA_TRUSTED, false);
  return a;
}

Attributes privateKeyAttributes(const KeyEntry& entry, const Modulus* modulus, ByteView spki) {
  Attributes a;
  a.setUlong(CKA_CLASS, CKO_PRIVATE_KEY);
  commonKeyAttributes(a, entry, entry.privateHalf, modulus, spki);
  usageAttributes(a, entry.privateHalf.usage, kPrivateUsage);
  a.setBool(CKA_SENSITIVE, true);
  a.setBool(CKA_EXTRACTABLE, false);
  a.setBool(CKA_ALWAYS_SENSITIVE, entry.generated);
  a.setBool(CKA_NEVER_EXTRACTABLE, entry.generated);
  a.setBool(CKA_WRAP_WITH_TRUSTED, false);
  a.setBool(CKA_ALWAYS_AUTHENTICATE, false);
  return a;
}

}  // namespace p11

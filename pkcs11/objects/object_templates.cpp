#include "objects/object_templates.h"

#include <openssl/bn.h>
#include <openssl/x509.h>

#include <algorithm>
#include <array>
#include <memory>

#include "common/ossl_owned.h"
#include "common/rsa1024.h"
#include "objects/key_attributes.h"

namespace p11 {
namespace {

// "Unspecified" certificate category and Java MIDP security domain.
constexpr CK_ULONG kUnspecified = 0;

// --- certificates and data objects -------------------------------------

constexpr std::array<CK_ATTRIBUTE_TYPE, 11> kCommonStorable = {
    CKA_CLASS,       CKA_TOKEN, CKA_PRIVATE, CKA_MODIFIABLE, CKA_LABEL,   CKA_COPYABLE,
    CKA_DESTROYABLE, CKA_ID,    CKA_VALUE,   CKA_START_DATE, CKA_END_DATE};
constexpr std::array<CK_ATTRIBUTE_TYPE, 2> kDataStorable = {CKA_APPLICATION, CKA_OBJECT_ID};
constexpr std::array<CK_ATTRIBUTE_TYPE, 12> kCertificateStorable = {CKA_CERTIFICATE_TYPE,
                                                                    CKA_TRUSTED,
                                                                    CKA_CERTIFICATE_CATEGORY,
                                                                    CKA_CHECK_VALUE,
                                                                    CKA_SUBJECT,
                                                                    CKA_ISSUER,
                                                                    CKA_SERIAL_NUMBER,
                                                                    CKA_URL,
                                                                    CKA_HASH_OF_SUBJECT_PUBLIC_KEY,
                                                                    CKA_HASH_OF_ISSUER_PUBLIC_KEY,
                                                                    CKA_JAVA_MIDP_SECURITY_DOMAIN,
                                                                    CKA_PUBLIC_KEY_INFO};
constexpr std::array<CK_ATTRIBUTE_TYPE, 6> kBooleans = {
    CKA_TOKEN, CKA_PRIVATE, CKA_MODIFIABLE, CKA_COPYABLE, CKA_DESTROYABLE, CKA_TRUSTED};

template <std::size_t N>
bool among(CK_ATTRIBUTE_TYPE type, const std::array<CK_ATTRIBUTE_TYPE, N>& set) {
  return std::find(set.begin(), set.end(), type) != set.end();
}

bool storable(CK_ATTRIBUTE_TYPE type, CK_OBJECT_CLASS objectClass) {
  return among(type, kCommonStorable) ||
         (objectClass == CKO_DATA ? among(type, kDataStorable) : among(type, kCertificateStorable));
}

// Subject, issuer, serial number and key of an X.509 certificate, unless
// the template gave them; the check value always.
CK_RV certificateAttributes(Attributes& a) {
  const Bytes* value = a.find(CKA_VALUE);
  if (value == nullptr || value->empty()) return CKR_TEMPLATE_INCOMPLETE;
  const unsigned char* p = value->data();
  const common::Owned<X509> cert(d2i_X509(nullptr, &p, static_cast<long>(value->size())));
  if (!cert || p != value->data() + value->size()) return CKR_ATTRIBUTE_VALUE_INVALID;
  const auto setDefault = [&](CK_ATTRIBUTE_TYPE type, Bytes v) {
    if (a.find(type) == nullptr) a.set(type, std::move(v));
  };
  setDefault(CKA_SUBJECT, common::derOf(X509_get_subject_name(cert.get()), i2d_X509_NAME));
  setDefault(CKA_ISSUER, common::derOf(X509_get_issuer_name(cert.get()), i2d_X509_NAME));
  setDefault(CKA_SERIAL_NUMBER,
             common::derOf(X509_get0_serialNumber(cert.get()), i2d_ASN1_INTEGER));
  setDefault(CKA_PUBLIC_KEY_INFO, common::derOf(X509_get_X509_PUBKEY(cert.get()), i2d_X509_PUBKEY));
  const Bytes check = sha1Of(*value);
  a.set(CKA_CHECK_VALUE, Bytes(check.begin(), check.begin() + 3));
  setDefault(CKA_URL, {});
  setDefault(CKA_HASH_OF_SUBJECT_PUBLIC_KEY, {});
  setDefault(CKA_HASH_OF_ISSUER_PUBLIC_KEY, {});
  setDefault(CKA_CERTIFICATE_CATEGORY, ulongBytes(kUnspecified));
  setDefault(CKA_JAVA_MIDP_SECURITY_DOMAIN, ulongBytes(kUnspecified));
  setDefault(CKA_TRUSTED, boolBytes(false));
  return CKR_OK;
}

CK_RV checkCertificateTemplate(const Template& tmpl) {
  std::optional<CK_ULONG> type;
  std::optional<bool> trusted;
  if (const CK_RV rv = tmpl.ulong(CKA_CERTIFICATE_TYPE, type); rv != CKR_OK) return rv;
  if (!type) return CKR_TEMPLATE_INCOMPLETE;
  if (*type != CKC_X_509) return CKR_ATTRIBUTE_VALUE_INVALID;
  // A trusted certificate is the security officer's to make; the check
  // value is computed here; URLs in place of values are not kept.
  if (const CK_RV rv = tmpl.boolean(CKA_TRUSTED, trusted); rv != CKR_OK) return rv;
  if (trusted.value_or(false) || tmpl.find(CKA_CHECK_VALUE) != nullptr)
    return CKR_ATTRIBUTE_VALUE_INVALID;
  if (const auto url = tmpl.bytes(CKA_URL); url && !url->empty())
    return CKR_ATTRIBUTE_VALUE_INVALID;
  return CKR_OK;
}

// --- key pairs -----------------------------------------------------------

struct UsageRule {
  CK_ATTRIBUTE_TYPE type;
  KeyUsage bit;
  bool publicHalf;
};
constexpr std::array<UsageRule, 8> kUsageRules = {{
    {CKA_ENCRYPT, kUsageEncrypt, true},
    {CKA_VERIFY, kUsageVerify, true},
    {CKA_VERIFY_RECOVER, kUsageVerifyRecover, true},
    {CKA_WRAP, kUsageWrap, true},
    {CKA_DECRYPT, kUsageDecrypt, false},
    {CKA_SIGN, kUsageSign, false},
    {CKA_SIGN_RECOVER, kUsageSignRecover, false},
    {CKA_UNWRAP, kUsageUnwrap, false},
}};

// Attributes whose value the token fixes: a template may name them only
// with that value.
struct FixedBool {
  CK_ATTRIBUTE_TYPE type;
  bool value;
};
constexpr std::array<FixedBool, 5> kFixedPublic = {{{CKA_TOKEN, true},
                                                    {CKA_COPYABLE, false},
                                                    {CKA_DESTROYABLE, true},
                                                    {CKA_TRUSTED, false},
                                                    {CKA_DERIVE, false}}};
constexpr std::array<FixedBool, 9> kFixedPrivate = {{{CKA_TOKEN, true},
                                                     {CKA_COPYABLE, false},
                                                     {CKA_DESTROYABLE, true},
                                                     {CKA_PRIVATE, true},
                                                     {CKA_SENSITIVE, true},
                                                     {CKA_EXTRACTABLE, false},
                                                     {CKA_ALWAYS_AUTHENTICATE, false},
                                                     {CKA_WRAP_WITH_TRUSTED, false},
                                                     {CKA_DERIVE, false}}};
constexpr std::array<CK_ATTRIBUTE_TYPE, 3> kEmptyOnly = {CKA_SUBJECT, CKA_START_DATE, CKA_END_DATE};

bool readBool(const CK_ATTRIBUTE& a, bool& value) {
  if (a.ulValueLen != sizeof(CK_BBOOL)) return false;
  value = *static_cast<const CK_BBOOL*>(a.pValue) != CK_FALSE;
  return true;
}

bool readUlong(const CK_ATTRIBUTE& a, CK_ULONG& value) {
  if (a.ulValueLen != sizeof(CK_ULONG)) return false;
  std::copy_n(static_cast<const std::uint8_t*>(a.pValue), sizeof value,
              reinterpret_cast<std::uint8_t*>(&value));
  return true;
}

template <std::size_t N>
const FixedBool* fixedRule(CK_ATTRIBUTE_TYPE type, const std::array<FixedBool, N>& rules) {
  const auto it =
      std::find_if(rules.begin(), rules.end(), [&](const FixedBool& r) { return r.type == type; });
  return it == rules.end() ? nullptr : &*it;
}

// One attribute of a key template, for one half. `handled` is false for an
// attribute left to the caller (key size, exponent, key material).
CK_RV keyAttribute(const CK_ATTRIBUTE& a, bool publicHalf, CK_OBJECT_CLASS objectClass,
                   KeyHalf& half, bool& idGiven, bool& handled) {
  handled = true;
  bool flag = false;
  CK_ULONG number = 0;
  const auto usage = std::find_if(kUsageRules.begin(), kUsageRules.end(), [&](const UsageRule& r) {
    return r.type == a.type && r.publicHalf == publicHalf;
  });
  const FixedBool* fixed =
      publicHalf ? fixedRule(a.type, kFixedPublic) : fixedRule(a.type, kFixedPrivate);
  if (fixed != nullptr) {
    if (!readBool(a, flag)) return CKR_ATTRIBUTE_VALUE_INVALID;
    return flag == fixed->value ? CKR_OK : CKR_ATTRIBUTE_VALUE_INVALID;
  }
  if (usage != kUsageRules.end()) {
    if (!readBool(a, flag)) return CKR_ATTRIBUTE_VALUE_INVALID;
    half.usage =
        static_cast<std::uint16_t>(flag ? (half.usage | usage->bit) : (half.usage & ~usage->bit));
    return CKR_OK;
  }
  switch (a.type) {
    case CKA_CLASS:
      if (!readUlong(a, number)) return CKR_ATTRIBUTE_VALUE_INVALID;
      return number == objectClass ? CKR_OK : CKR_TEMPLATE_INCONSISTENT;
    case CKA_KEY_TYPE:
      if (!readUlong(a, number)) return CKR_ATTRIBUTE_VALUE_INVALID;
      return number == CKK_RSA ? CKR_OK : CKR_TEMPLATE_INCONSISTENT;
    case CKA_PRIVATE:
      if (!readBool(a, flag)) return CKR_ATTRIBUTE_VALUE_INVALID;
      half.isPrivate = flag;
      return CKR_OK;
    case CKA_MODIFIABLE:
      if (!readBool(a, flag)) return CKR_ATTRIBUTE_VALUE_INVALID;
      half.readOnly = !flag;
      return CKR_OK;
    case CKA_LABEL:
      if (a.ulValueLen > kMaxKeyLabel) return CKR_ATTRIBUTE_VALUE_INVALID;
      half.label = bytesOf(a.pValue, a.ulValueLen);
      return CKR_OK;
    case CKA_ID:
      if (a.ulValueLen > kMaxKeyId) return CKR_ATTRIBUTE_VALUE_INVALID;
      half.id = bytesOf(a.pValue, a.ulValueLen);
      idGiven = true;
      return CKR_OK;
    default:
      if (among(a.type, kEmptyOnly))
        return a.ulValueLen == 0 ? CKR_OK : CKR_ATTRIBUTE_VALUE_INVALID;
      handled = false;
      return CKR_OK;
  }
}

KeyPairRequest defaultRequest() {
  KeyPairRequest r;
  r.publicHalf.usage = kDefaultPublicUsage;
  r.privateHalf.usage = kDefaultPrivateUsage;
  r.privateHalf.isPrivate = true;
  return r;
}

CK_RV keyTemplate(const Template& tmpl, bool publicHalf, KeyPairRequest& r,
                  std::vector<const CK_ATTRIBUTE*>& rest) {
  if (const CK_RV rv = tmpl.check(); rv != CKR_OK) return rv;
  KeyHalf& half = publicHalf ? r.publicHalf : r.privateHalf;
  bool& idGiven = publicHalf ? r.publicIdGiven : r.privateIdGiven;
  const CK_OBJECT_CLASS objectClass = publicHalf ? CKO_PUBLIC_KEY : CKO_PRIVATE_KEY;
  for (const CK_ATTRIBUTE& a : tmpl.all()) {
    bool handled = false;
    if (const CK_RV rv = keyAttribute(a, publicHalf, objectClass, half, idGiven, handled);
        rv != CKR_OK)
      return rv;
    if (!handled) rest.push_back(&a);
  }
  return CKR_OK;
}

// A big-endian number of at most `width` bytes, right-aligned in `out`.
bool rightAligned(const CK_ATTRIBUTE& a, std::span<std::uint8_t> out) {
  const auto* p = static_cast<const std::uint8_t*>(a.pValue);
  std::size_t n = a.ulValueLen;
  while (n > 0 && *p == 0) ++p, --n;  // leading zero bytes carry nothing
  if (n == 0 || n > out.size()) return false;
  std::fill(out.begin(), out.end(), 0);
  std::copy_n(p, n, out.end() - static_cast<std::ptrdiff_t>(n));
  return true;
}

bool primesMakeModulus(const CrtKey& key) {
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM* p = BN_bin2bn(key.prime1.data(), static_cast<int>(key.prime1.size()), nullptr);
  BIGNUM* q = BN_bin2bn(key.prime2.data(), static_cast<int>(key.prime2.size()), nullptr);
  BIGNUM* n = BN_bin2bn(key.modulus.data(), static_cast<int>(key.modulus.size()), nullptr);
  BIGNUM* product = BN_new();
  const bool ok =
      ctx && p && q && n && product && BN_mul(product, p, q, ctx) == 1 && BN_cmp(product, n) == 0;
  BN_clear_free(p);
  BN_clear_free(q);
  BN_free(n);
  BN_clear_free(product);
  BN_CTX_free(ctx);
  return ok;
}

}  // namespace

CK_RV newObjectFrom(const Template& tmpl, CK_OBJECT_CLASS objectClass, NewObject& out) {
  if (const CK_RV rv = tmpl.check(); rv != CKR_OK) return rv;
  out = NewObject{};
  Attributes& a = out.attributes;
  a.setUlong(CKA_CLASS, objectClass);
  a.setBool(CKA_TOKEN, false);
  a.setBool(CKA_PRIVATE, false);
  a.setBool(CKA_MODIFIABLE, true);
  a.setBool(CKA_COPYABLE, true);
  a.setBool(CKA_DESTROYABLE, true);
  a.set(CKA_LABEL, {});
  if (objectClass == CKO_CERTIFICATE) {
    if (const CK_RV rv = checkCertificateTemplate(tmpl); rv != CKR_OK) return rv;
    a.set(CKA_ID, {});
    a.set(CKA_START_DATE, {});
    a.set(CKA_END_DATE, {});
  } else {
    a.set(CKA_APPLICATION, {});
    a.set(CKA_OBJECT_ID, {});
    a.set(CKA_VALUE, {});
  }
  for (const CK_ATTRIBUTE& attr : tmpl.all()) {
    if (!storable(attr.type, objectClass)) return CKR_ATTRIBUTE_TYPE_INVALID;
    if (among(attr.type, kBooleans) && attr.ulValueLen != sizeof(CK_BBOOL))
      return CKR_ATTRIBUTE_VALUE_INVALID;
    if (attr.type == CKA_CLASS || attr.type == CKA_CERTIFICATE_TYPE) continue;  // checked
    a.set(attr.type, bytesOf(attr.pValue, attr.ulValueLen));
  }
  if (objectClass == CKO_CERTIFICATE) {
    a.setUlong(CKA_CERTIFICATE_TYPE, CKC_X_509);
    if (const CK_RV rv = certificateAttributes(a); rv != CKR_OK) return rv;
  }
  out.onToken = a.boolOr(CKA_TOKEN, false);
  out.isPrivate = a.boolOr(CKA_PRIVATE, false);
  return CKR_OK;
}

CK_RV keyPairRequestFrom(const Template& publicTemplate, const Template& privateTemplate,
                         KeyPairRequest& out) {
  out = defaultRequest();
  std::vector<const CK_ATTRIBUTE*> rest;
  if (const CK_RV rv = keyTemplate(privateTemplate, false, out, rest); rv != CKR_OK) return rv;
  if (!rest.empty()) return CKR_ATTRIBUTE_TYPE_INVALID;
  if (const CK_RV rv = keyTemplate(publicTemplate, true, out, rest); rv != CKR_OK) return rv;
  bool bitsGiven = false;
  for (const CK_ATTRIBUTE* a : rest) {
    CK_ULONG bits = 0;
    if (a->type == CKA_MODULUS_BITS) {
      if (!readUlong(*a, bits)) return CKR_ATTRIBUTE_VALUE_INVALID;
      if (bits != common::kModulusBits) return CKR_KEY_SIZE_RANGE;
      bitsGiven = true;
    } else if (a->type == CKA_PUBLIC_EXPONENT) {
      std::array<std::uint8_t, 3> exponent{};
      if (!rightAligned(*a, exponent) || exponent != common::kPublicExponentBytes)
        return CKR_ATTRIBUTE_VALUE_INVALID;
    } else {
      return CKR_ATTRIBUTE_TYPE_INVALID;
    }
  }
  return bitsGiven ? CKR_OK : CKR_TEMPLATE_INCOMPLETE;
}

CK_RV importRequestFrom(const Template& tmpl, KeyPairRequest& out, CrtKey& key) {
  out = defaultRequest();
  std::vector<const CK_ATTRIBUTE*> rest;
  if (const CK_RV rv = keyTemplate(tmpl, false, out, rest); rv != CKR_OK) return rv;
  const std::pair<CK_ATTRIBUTE_TYPE, std::span<std::uint8_t>> parts[] = {
      {CKA_MODULUS, key.modulus},
      {CKA_PRIME_1, key.prime1.span()},
      {CKA_PRIME_2, key.prime2.span()},
      {CKA_EXPONENT_1, key.exponent1.span()},
      {CKA_EXPONENT_2, key.exponent2.span()},
      {CKA_COEFFICIENT, key.coefficient.span()}};
  bool exponentGiven = false;
  std::size_t partsGiven = 0;
  for (const CK_ATTRIBUTE* a : rest) {
    const auto part = std::find_if(std::begin(parts), std::end(parts),
                                   [&](const auto& p) { return p.first == a->type; });
    if (part != std::end(parts)) {
      if (!rightAligned(*a, part->second)) return CKR_ATTRIBUTE_VALUE_INVALID;
      ++partsGiven;
    } else if (a->type == CKA_PUBLIC_EXPONENT) {
      std::array<std::uint8_t, 3> exponent{};
      if (!rightAligned(*a, exponent) || exponent != common::kPublicExponentBytes)
        return CKR_ATTRIBUTE_VALUE_INVALID;
      exponentGiven = true;
    } else if (a->type != CKA_PRIVATE_EXPONENT) {  // implied by the CRT values
      return CKR_ATTRIBUTE_TYPE_INVALID;
    }
  }
  if (!exponentGiven || partsGiven != std::size(parts)) return CKR_TEMPLATE_INCOMPLETE;
  // The token takes 1024-bit keys whose primes multiply to the modulus.
  if ((key.modulus[0] & 0x80) == 0 || !primesMakeModulus(key)) return CKR_ATTRIBUTE_VALUE_INVALID;
  out.publicHalf.label = out.privateHalf.label;
  out.publicHalf.id = out.privateHalf.id;
  out.publicIdGiven = out.privateIdGiven;
  return CKR_OK;
}

KeyEntry keyEntryFor(const KeyPairRequest& request, int slot, const Modulus& modulus,
                     bool generated) {
  KeyEntry entry = defaultKeyEntry(slot, modulus);
  entry.generated = generated;
  const Bytes defaultId = entry.publicHalf.id;
  entry.publicHalf = request.publicHalf;
  entry.privateHalf = request.privateHalf;
  if (!request.publicIdGiven) entry.publicHalf.id = defaultId;
  if (!request.privateIdGiven) entry.privateHalf.id = defaultId;
  return entry;
}

CK_RV labelAndIdFrom(const Template& tmpl, const Attributes& current, bool isKey,
                     std::optional<Bytes>& label, std::optional<Bytes>& id) {
  if (const CK_RV rv = tmpl.check(); rv != CKR_OK) return rv;
  for (const CK_ATTRIBUTE& a : tmpl.all()) {
    const bool tooLong = isKey && a.ulValueLen > (a.type == CKA_LABEL ? kMaxKeyLabel : kMaxKeyId);
    if (a.type == CKA_LABEL || a.type == CKA_ID) {
      if (tooLong) return CKR_ATTRIBUTE_VALUE_INVALID;
      (a.type == CKA_LABEL ? label : id) = bytesOf(a.pValue, a.ulValueLen);
    } else {
      return current.find(a.type) != nullptr ? CKR_ATTRIBUTE_READ_ONLY : CKR_ATTRIBUTE_TYPE_INVALID;
    }
  }
  return CKR_OK;
}

}  // namespace p11

#include "crypto/mechanisms.h"

#include <algorithm>
#include <array>

#include "common/rsa1024.h"
#include "crypto/rsa_padding.h"

namespace p11 {
namespace {

constexpr CK_ULONG kBits = common::kModulusBits;
constexpr CK_FLAGS kSignVerify = CKF_HW | CKF_SIGN | CKF_VERIFY;
constexpr CK_FLAGS kAllFour = kSignVerify | CKF_ENCRYPT | CKF_DECRYPT;
constexpr CK_FLAGS kCrypt = CKF_HW | CKF_ENCRYPT | CKF_DECRYPT;

constexpr std::array<MechanismEntry, 20> kMechanisms = {{
    {CKM_RSA_PKCS_KEY_PAIR_GEN, {kBits, kBits, CKF_HW | CKF_GENERATE_KEY_PAIR}},
    {CKM_RSA_PKCS, {kBits, kBits, kAllFour}},
    {CKM_RSA_X_509, {kBits, kBits, kAllFour}},
    {CKM_RSA_PKCS_OAEP, {kBits, kBits, kCrypt}},
    {CKM_RSA_PKCS_PSS, {kBits, kBits, kSignVerify}},
    {CKM_SHA1_RSA_PKCS, {kBits, kBits, kSignVerify}},
    {CKM_SHA224_RSA_PKCS, {kBits, kBits, kSignVerify}},
    {CKM_SHA256_RSA_PKCS, {kBits, kBits, kSignVerify}},
    {CKM_SHA384_RSA_PKCS, {kBits, kBits, kSignVerify}},
    {CKM_SHA512_RSA_PKCS, {kBits, kBits, kSignVerify}},
    {CKM_SHA1_RSA_PKCS_PSS, {kBits, kBits, kSignVerify}},
    {CKM_SHA224_RSA_PKCS_PSS, {kBits, kBits, kSignVerify}},
    {CKM_SHA256_RSA_PKCS_PSS, {kBits, kBits, kSignVerify}},
    {CKM_SHA384_RSA_PKCS_PSS, {kBits, kBits, kSignVerify}},
    {CKM_SHA512_RSA_PKCS_PSS, {kBits, kBits, kSignVerify}},
    {CKM_SHA_1, {0, 0, CKF_DIGEST}},
    {CKM_SHA224, {0, 0, CKF_DIGEST}},
    {CKM_SHA256, {0, 0, CKF_DIGEST}},
    {CKM_SHA384, {0, 0, CKF_DIGEST}},
    {CKM_SHA512, {0, 0, CKF_DIGEST}},
}};

CK_FLAGS flagOf(Purpose purpose) {
  switch (purpose) {
    case Purpose::Sign: return CKF_SIGN;
    case Purpose::Verify: return CKF_VERIFY;
    case Purpose::Encrypt: return CKF_ENCRYPT;
    case Purpose::Decrypt: return CKF_DECRYPT;
  }
  return 0;
}

template <typename Params>
const Params* paramsOf(const CK_MECHANISM* m) {
  if (m->pParameter == nullptr || m->ulParameterLen != sizeof(Params)) return nullptr;
  return static_cast<const Params*>(m->pParameter);
}

CK_RV parsePss(const CK_MECHANISM* m, KeyMechanism& out) {
  const auto* params = paramsOf<CK_RSA_PKCS_PSS_PARAMS>(m);
  if (params == nullptr) return CKR_MECHANISM_PARAM_INVALID;
  const HashInfo* hash = hashByDigest(params->hashAlg);
  const HashInfo* mgf = hashByMgf(params->mgf);
  if (hash == nullptr || mgf == nullptr || params->sLen > maxPssSalt(*hash) ||
      (out.hashesData != nullptr && out.hashesData != hash))
    return CKR_MECHANISM_PARAM_INVALID;
  out.padding.padding = Padding::Pss;
  out.padding.hash = hash;
  out.padding.mgf = mgf;
  out.padding.saltLength = params->sLen;
  return CKR_OK;
}

CK_RV parseOaep(const CK_MECHANISM* m, KeyMechanism& out) {
  const auto* params = paramsOf<CK_RSA_PKCS_OAEP_PARAMS>(m);
  if (params == nullptr) return CKR_MECHANISM_PARAM_INVALID;
  const HashInfo* hash = hashByDigest(params->hashAlg);
  const HashInfo* mgf = hashByMgf(params->mgf);
  // The hash must leave room for a message in a 1024-bit block.
  if (hash == nullptr || mgf == nullptr || 2 * hash->size() + 2 >= common::kModulusBytes)
    return CKR_MECHANISM_PARAM_INVALID;
  const bool noLabel = params->ulSourceDataLen == 0;
  if ((params->source != CKZ_DATA_SPECIFIED && !(params->source == 0 && noLabel)) ||
      (params->pSourceData == nullptr && !noLabel))
    return CKR_MECHANISM_PARAM_INVALID;
  out.padding.padding = Padding::Oaep;
  out.padding.hash = hash;
  out.padding.mgf = mgf;
  out.padding.label = bytesOf(params->pSourceData, params->ulSourceDataLen);
  return CKR_OK;
}

}  // namespace

std::span<const MechanismEntry> mechanismTable() { return kMechanisms; }

const MechanismEntry* findMechanism(CK_MECHANISM_TYPE type) {
  const auto it = std::find_if(kMechanisms.begin(), kMechanisms.end(),
                               [&](const MechanismEntry& e) { return e.type == type; });
  return it == kMechanisms.end() ? nullptr : &*it;
}

CK_RV parseKeyMechanism(const CK_MECHANISM* m, Purpose purpose, KeyMechanism& out) {
  const MechanismEntry* entry = findMechanism(m->mechanism);
  if (entry == nullptr || (entry->info.flags & flagOf(purpose)) == 0) return CKR_MECHANISM_INVALID;
  out = KeyMechanism{};
  out.type = m->mechanism;
  if (m->mechanism == CKM_RSA_PKCS_PSS) return parsePss(m, out);
  if (const HashInfo* hash = hashByRsaPss(m->mechanism)) {
    out.hashesData = hash;
    return parsePss(m, out);
  }
  if (m->mechanism == CKM_RSA_PKCS_OAEP) return parseOaep(m, out);
  if (m->ulParameterLen != 0) return CKR_MECHANISM_PARAM_INVALID;
  if (m->mechanism == CKM_RSA_X_509) out.padding.padding = Padding::Raw;
  if (const HashInfo* hash = hashByRsaPkcs(m->mechanism)) {
    out.hashesData = hash;
    out.padding.hash = hash;
  }
  return CKR_OK;
}

}  // namespace p11

// Key pairs generated on or imported into the token, in the slot the
// counter file names; the counter advances only when the pair is complete.
#include <array>
#include <cstdint>
#include <span>

#include "card/file_commands.h"
#include "card/rsa_commands.h"
#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "device/session.h"
#include "keys/key_pair_counter.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

constexpr std::int32_t kSupportedModulusBits = 1024;

using CrtComponent = std::span<const std::uint8_t, kRsaCrtComponentBytes>;

struct ImportedKey {
  std::span<const std::uint8_t, kRsaBlockBytes> modulus;
  std::array<CrtComponent, 5> crt;  // p, q, dP, dQ, qInv
};

constexpr std::array<RsaComponent, 5> kCrtOrder = {
    RsaComponent::kPrime1, RsaComponent::kPrime2, RsaComponent::kExponent1,
    RsaComponent::kExponent2, RsaComponent::kCoefficient};

void publishSlot(const KeyPairSlot& slot, std::int32_t* pubKeyId, std::int32_t* priKeyId) {
  *pubKeyId = slot.publicFileId;
  *priKeyId = slot.privateFileId;
}

// The pair is complete on the token; a counter left behind would hand the
// same slot out again, so a failed write-back is not reported as success.
std::int32_t advanceCounter(std::uint16_t counter) {
  const std::int32_t sw = writeKeyPairCounter(static_cast<std::uint16_t>(counter + 1));
  if (sw == kSwSuccess) return NORV_DAL_OK;
  DAL_LOG_VALUE("******>key pair counter Error:", sw);
  return NORV_DAL_ERR_WRITE_FILE;
}

// A slot whose identifiers do not fit 16 bits is never sent; it reads as
// a command the card did not carry.
std::int32_t requestGeneration(const KeyPairSlot& slot) {
  if (!slot.addressable()) return kSwNotCarried;
  return CosGenerateRsaKeyPair(static_cast<std::uint16_t>(slot.publicFileId),
                               static_cast<std::uint16_t>(slot.privateFileId));
}

std::int32_t generate(std::int32_t* pubKeyId, std::int32_t* priKeyId) {
  const auto counter = readKeyPairCounter();
  if (!counter) {
    DAL_LOG("******>NORV_DAL_GenRsaKeyPair1");
    return NORV_DAL_ERR_READ_FILE;
  }
  const KeyPairSlot slot = slotOf(*counter);
  publishSlot(slot, pubKeyId, priKeyId);
  if (const std::int32_t sw = requestGeneration(slot); sw != kSwSuccess) {
    DAL_LOG_VALUE("******>GenerateRSAKeypair2 Error:", sw);
    return NORV_DAL_ERR_CREATE_FILE;
  }
  return advanceCounter(*counter);
}

bool selected(std::int32_t fileId) {
  return CosSelectFileId(static_cast<std::uint16_t>(fileId)) == kSwSuccess;
}

bool imported(RsaComponent component, std::span<const std::uint8_t> value) {
  return CosImportRsaComponent(component, value) == kSwSuccess;
}

// The card always gets the exponent 65537, whatever the caller holds.
bool writePublicHalf(const KeyPairSlot& slot, const ImportedKey& key) {
  return selected(slot.publicFileId) &&
         imported(RsaComponent::kPublicExponent, kCardPublicExponent) &&
         imported(RsaComponent::kModulus, key.modulus);
}

// Stops at the first refused component; the rest are not sent.
bool writePrivateHalf(const KeyPairSlot& slot, const ImportedKey& key) {
  if (!selected(slot.privateFileId)) return false;
  for (std::size_t k = 0; k < kCrtOrder.size(); ++k) {
    if (!imported(kCrtOrder[k], key.crt[k])) return false;
  }
  return true;
}

std::int32_t import(const ImportedKey& key, std::int32_t* pubKeyId, std::int32_t* priKeyId) {
  const auto counter = readKeyPairCounter();
  if (!counter) {
    DAL_LOG("******>NORV_DAL_ImportRsaKeyPair 1");
    return NORV_DAL_ERR_READ_FILE;
  }
  DAL_LOG("BEGIN NORV_DAL_ImportRsaKeyPair:");
  const KeyPairSlot slot = slotOf(*counter);
  publishSlot(slot, pubKeyId, priKeyId);
  if (!slot.addressable() || !writePublicHalf(slot, key) || !writePrivateHalf(slot, key)) {
    return NORV_DAL_ERR_CREATE_FILE;
  }
  return advanceCounter(*counter);
}

template <std::size_t N>
std::span<const std::uint8_t, N> fixed(const std::uint8_t* bytes) {
  return std::span<const std::uint8_t, N>(bytes, N);
}

}  // namespace
}  // namespace dal

extern "C" NORV_DAL_API int32_t NORV_DAL_GenRsaKeyPair(int32_t modulusLen, int32_t* pubKeyId,
                                                       int32_t* priKeyId) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    if (modulusLen != dal::kSupportedModulusBits) {
      DAL_LOG("******>modulusLen");
      return NORV_DAL_ERR_MODULUS_LEN;
    }
    if (!pubKeyId || !priKeyId) {
      DAL_LOG("******>NORV_DAL_GenRsaKeyPair param");
      return NORV_DAL_ERR_PARAM;
    }
    return dal::generate(pubKeyId, priKeyId);
  });
}

extern "C" NORV_DAL_API int32_t NORV_DAL_ImportRsaKeyPair(
    int32_t /*reserved1*/, const uint8_t* modulus, int32_t /*reserved2*/, const uint8_t* prime1,
    const uint8_t* prime2, const uint8_t* exponent1, const uint8_t* exponent2,
    const uint8_t* coefficient, int32_t* pubKeyId, int32_t* priKeyId) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    if (!modulus || !prime1 || !prime2 || !exponent1 || !exponent2 || !coefficient || !pubKeyId ||
        !priKeyId) {
      DAL_LOG("******>NORV_DAL_ImportRsaKeyPair param");
      return NORV_DAL_ERR_PARAM;
    }
    constexpr std::size_t kHalf = dal::kRsaCrtComponentBytes;
    const dal::ImportedKey key{
        dal::fixed<dal::kRsaBlockBytes>(modulus),
        {dal::fixed<kHalf>(prime1), dal::fixed<kHalf>(prime2), dal::fixed<kHalf>(exponent1),
         dal::fixed<kHalf>(exponent2), dal::fixed<kHalf>(coefficient)}};
    return dal::import(key, pubKeyId, priKeyId);
  });
}

#include "token/token_keys.h"

#include <algorithm>

#include "common/rsa1024.h"
#include "common/token_shape.h"
#include "norv_dal_tkp30.h"
#include "token/dal_results.h"

namespace p11 {
namespace {

constexpr std::size_t kRandomPiece = 64;

std::int32_t publicFile(int slot) { return common::kPublicKeyFileBase + slot; }
std::int32_t privateFile(int slot) { return common::kPrivateKeyFileBase + slot; }

}  // namespace

std::int32_t readModulus(const TokenLock&, int slot, Modulus& modulus) {
  std::int32_t length = 0;
  const std::int32_t rv = NORV_DAL_GetPublicKey(publicFile(slot), modulus.data(), &length);
  if (rv == NORV_DAL_ERR_OPEN_DEVICE) return rv;
  const bool empty =
      std::all_of(modulus.begin(), modulus.end(), [](std::uint8_t b) { return b == 0; });
  if (rv != NORV_DAL_OK || length != static_cast<std::int32_t>(modulus.size()) || empty)
    return NORV_DAL_ERR_READ_FILE;
  return NORV_DAL_OK;
}

std::int32_t rawPrivateOperation(const TokenLock&, int slot, const Block& in,
                                 std::span<std::uint8_t> out) {
  std::int32_t length = 0;
  return NORV_DAL_RsaPrivateKeyRaw(privateFile(slot), in.data(),
                                   static_cast<std::int32_t>(in.size()), out.data(), &length);
}

std::int32_t generateKeyPair(const TokenLock&, int& slot) {
  std::int32_t pub = publicFile(common::kKeyPairSlots);
  std::int32_t priv = 0;
  const std::int32_t rv = NORV_DAL_GenRsaKeyPair(common::kModulusBits, &pub, &priv);
  slot = pub - common::kPublicKeyFileBase;
  return rv;
}

std::int32_t importKeyPair(const TokenLock&, const CrtKey& key, int& slot) {
  std::int32_t pub = publicFile(common::kKeyPairSlots);
  std::int32_t priv = 0;
  const std::int32_t rv = NORV_DAL_ImportRsaKeyPair(
      0, key.modulus.data(), 0, key.prime1.data(), key.prime2.data(), key.exponent1.data(),
      key.exponent2.data(), key.coefficient.data(), &pub, &priv);
  slot = pub - common::kPublicKeyFileBase;
  return rv;
}

CK_RV keyPairFailure(std::int32_t result, int slot) {
  if (result == NORV_DAL_ERR_CREATE_FILE && slot >= common::kKeyPairSlots) return CKR_DEVICE_MEMORY;
  return deviceFailure(result);
}

std::int32_t drawRandom(const TokenLock&, std::span<std::uint8_t> out) {
  for (std::size_t done = 0; done < out.size(); done += kRandomPiece) {
    const std::size_t piece = std::min(kRandomPiece, out.size() - done);
    const std::int32_t rv = NORV_DAL_GenRand(static_cast<std::int32_t>(piece), out.data() + done);
    if (rv != NORV_DAL_OK) return rv;
  }
  return NORV_DAL_OK;
}

}  // namespace p11

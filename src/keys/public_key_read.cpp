// Reads the modulus of a key pair back from its public-key file.
#include <cstdint>
#include <cstring>

#include "card/file_commands.h"
#include "card/rsa_commands.h"
#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "device/session.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

// The caller's buffers are written only once the whole modulus is in hand.
std::int32_t readModulus(std::uint16_t fileId, std::uint8_t* pubKey, std::int32_t* pubKeyLen) {
  if (const std::int32_t sw = CosSelectFileId(fileId); sw != kSwSuccess) {
    DAL_LOG_VALUE("******>NORV_DAL_GetPublicKey select Error:", sw);
    return NORV_DAL_ERR_READ_FILE;
  }
  ResponseBuffer response;
  const std::int32_t sw = CosReadRsaModulus(response);
  if (sw != kSwSuccess || response.delivered() < kRsaBlockBytes) {
    DAL_LOG_VALUE("******>NORV_DAL_GetPublicKey read Error:", sw);
    return NORV_DAL_ERR_READ_FILE;
  }
  std::memcpy(pubKey, response.data(), kRsaBlockBytes);
  *pubKeyLen = static_cast<std::int32_t>(kRsaBlockBytes);
  return NORV_DAL_OK;
}

}  // namespace
}  // namespace dal

extern "C" NORV_DAL_API int32_t NORV_DAL_GetPublicKey(int32_t pubKeyId, uint8_t* pubKey,
                                                      int32_t* pubKeyLen) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    if (!pubKey || !pubKeyLen) {
      DAL_LOG("******>NORV_DAL_GetPublicKey param");
      return NORV_DAL_ERR_PARAM;
    }
    return dal::readModulus(static_cast<uint16_t>(pubKeyId & 0xFFFF), pubKey, pubKeyLen);
  });
}

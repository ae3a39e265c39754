// The token's raw RSA private-key operation on one 128-byte block; the
// caller does all padding.
#include <cstdint>
#include <cstring>
#include <span>

#include "card/rsa_commands.h"
#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "device/session.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

std::int32_t privateOperation(std::uint16_t fileId,
                              std::span<const std::uint8_t, kRsaBlockBytes> block,
                              std::uint8_t* outData, std::int32_t* outDataLen) {
  ResponseBuffer response;  // wiped on the way out: it may hold a decrypted block
  const std::int32_t sw = CosRsaPrivateOperation(fileId, block, response);
  if (sw != kSwSuccess || response.delivered() < kRsaBlockBytes) {
    DAL_LOG("******>TKP20_tsi_api");
    return NORV_DAL_ERR_RSA;
  }
  std::memcpy(outData, response.data(), kRsaBlockBytes);
  *outDataLen = static_cast<std::int32_t>(kRsaBlockBytes);
  return NORV_DAL_OK;
}

}  // namespace
}  // namespace dal

extern "C" NORV_DAL_API int32_t NORV_DAL_RsaPrivateKeyRaw(int32_t priKeyId, const uint8_t* inData,
                                                          int32_t inDataLen, uint8_t* outData,
                                                          int32_t* outDataLen) {
  return dal::guarded([&] {
    if (int32_t rv = dal::DalOpenForOperation(); rv != 0) return rv;
    if (inDataLen != static_cast<int32_t>(dal::kRsaBlockBytes)) {
      DAL_LOG("******>indata length");
      return NORV_DAL_ERR_DATA_LEN;
    }
    if (!inData || !outData || !outDataLen) {
      DAL_LOG("******>NORV_DAL_RsaPrivateKeyRaw param");
      return NORV_DAL_ERR_PARAM;
    }
    const std::span<const uint8_t, dal::kRsaBlockBytes> block(inData, dal::kRsaBlockBytes);
    return dal::privateOperation(static_cast<uint16_t>(priKeyId & 0xFFFF), block, outData,
                                 outDataLen);
  });
}

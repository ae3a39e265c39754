// The software RSA exports: the caller's modulus, the exponent 65537, one
// block per call. They never touch the token.
#include <cstdint>
#include <span>

#include "device/export_guard.h"
#include "device/log.h"
#include "keys/software_rsa.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

using SoftOperation = bool (*)(const PublicKeyRecord&, std::span<const std::uint8_t>, std::uint8_t*,
                               std::int32_t&);

struct SoftCall {
  const std::uint8_t* n;
  std::uint32_t nLen;
  const std::uint8_t* inData;
  std::int32_t inDataLen;
  std::uint8_t* outData;
  std::int32_t* outDataLen;
};

std::int32_t runSoft(const SoftCall& call, SoftOperation operation, const char* failureLine) {
  if (!supportedModulusLength(call.nLen)) {
    DAL_LOG("******>n len");
    return NORV_DAL_ERR_MODULUS_LEN;
  }
  if (!call.n || !call.inData || call.inDataLen < 0 || !call.outData || !call.outDataLen) {
    DAL_LOG(failureLine);
    return NORV_DAL_ERR_PARAM;
  }
  const PublicKeyRecord key = makePublicKeyRecord(std::span(call.n, call.nLen));
  const std::span input(call.inData, static_cast<std::size_t>(call.inDataLen));
  std::int32_t written = 0;
  if (!operation(key, input, call.outData, written)) {
    DAL_LOG(failureLine);
    return NORV_DAL_ERR_RSA;
  }
  *call.outDataLen = written;
  return NORV_DAL_OK;
}

}  // namespace
}  // namespace dal

extern "C" NORV_DAL_API int32_t NORV_DAL_RsaPublicKeyRaw(const uint8_t* n, uint32_t nLen,
                                                         const uint8_t* inData, int32_t inDataLen,
                                                         uint8_t* outData, int32_t* outDataLen) {
  return dal::guarded([&] {
    return dal::runSoft({n, nLen, inData, inDataLen, outData, outDataLen}, &dal::softRsaRaw,
                        "******>NORV_DAL_RsaPublicKeyRaw");
  });
}

extern "C" NORV_DAL_API int32_t NORV_DAL_Pkcs1RsaPublicKeyEnc(const uint8_t* n, uint32_t nLen,
                                                              const uint8_t* inData,
                                                              int32_t inDataLen, uint8_t* outData,
                                                              int32_t* outDataLen) {
  return dal::guarded([&] {
    return dal::runSoft({n, nLen, inData, inDataLen, outData, outDataLen},
                        &dal::softRsaPkcs1Encrypt, "******>Tesselar_Pkcs1RsaPublicKeyEnc");
  });
}

extern "C" NORV_DAL_API int32_t NORV_DAL_Pkcs1RsaPublicKeyDec(const uint8_t* n, uint32_t nLen,
                                                              const uint8_t* inData,
                                                              int32_t inDataLen, uint8_t* outData,
                                                              int32_t* outDataLen) {
  return dal::guarded([&] {
    return dal::runSoft({n, nLen, inData, inDataLen, outData, outDataLen},
                        &dal::softRsaPkcs1Decrypt, "******>Tesselar_Pkcs1RsaPublicKeyDec");
  });
}

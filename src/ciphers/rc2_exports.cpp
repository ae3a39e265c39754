// The RC2 calls. They never touch the token and log nothing: a failure is
// the returned code alone.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <cstring>

#include "ciphers/block_exports.h"
#include "ciphers/rc2_block.h"

namespace dal {
namespace {

using ciphers::BlockEngine;
using ciphers::ErrorMap;
using ciphers::Rc2Block;

// Unlike DES, RC2 maps the engine's codes the same way for every call.
constexpr ErrorMap kRc2Map{NORV_DAL_ERR_CIPHER_MODE, NORV_DAL_ERR_CIPHERTEXT, NORV_DAL_ERR_DATA_LEN,
                           NORV_DAL_ERR_OTHER};

std::int32_t acquire(const uint8_t* key, int32_t keyLen, const uint8_t* iv, int32_t mode,
                     int32_t encFlag, Rc2Ctx** ppCtx) {
  if (key == nullptr || ppCtx == nullptr || (mode == NORV_DAL_MODE_CBC && iv == nullptr))
    return NORV_DAL_ERR_PARAM;
  if (keyLen <= 0) return NORV_DAL_ERR_DATA_LEN;
  Rc2Ctx* ctx = ciphers::newContext<Rc2Ctx>(ciphers::Family::Rc2);
  if (ctx == nullptr) return NORV_DAL_ERR_OTHER;
  if (mode == NORV_DAL_MODE_CBC) std::memcpy(ctx->iv, iv, sizeof ctx->iv);
  ctx->mode = mode;
  ctx->encFlag = encFlag;
  ciphers::rc2SetKey(*ctx, key, keyLen);
  *ppCtx = ctx;
  return NORV_DAL_OK;
}

}  // namespace
}  // namespace dal

extern "C" {

NORV_DAL_API int32_t NORV_DAL_Rc2AcquireContext(const uint8_t* key, int32_t keyLen,
                                                const uint8_t* iv, int32_t mode, int32_t encFlag,
                                                Rc2Ctx** ppCtx) {
  return dal::guarded([&] { return dal::acquire(key, keyLen, iv, mode, encFlag, ppCtx); });
}

NORV_DAL_API int32_t NORV_DAL_Rc2EncUpdate(Rc2Ctx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                           uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::streamCall<dal::Rc2Block, &dal::BlockEngine::encUpdate>(
      pCtx, inData, inDataLen, outData, outDataLen, dal::kRc2Map);
}

NORV_DAL_API int32_t NORV_DAL_Rc2EncFinal(Rc2Ctx* pCtx, uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::finalCall<dal::Rc2Block, &dal::BlockEngine::encFinal>(
      pCtx, outData, outDataLen, dal::kRc2Map);
}

NORV_DAL_API int32_t NORV_DAL_Rc2Encrypt(Rc2Ctx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                         uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::streamCall<dal::Rc2Block, &dal::BlockEngine::encrypt>(
      pCtx, inData, inDataLen, outData, outDataLen, dal::kRc2Map);
}

NORV_DAL_API int32_t NORV_DAL_Rc2DecUpdate(Rc2Ctx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                           uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::streamCall<dal::Rc2Block, &dal::BlockEngine::decUpdate>(
      pCtx, inData, inDataLen, outData, outDataLen, dal::kRc2Map);
}

NORV_DAL_API int32_t NORV_DAL_Rc2DecFinal(Rc2Ctx* pCtx, uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::finalCall<dal::Rc2Block, &dal::BlockEngine::decFinal>(
      pCtx, outData, outDataLen, dal::kRc2Map);
}

NORV_DAL_API int32_t NORV_DAL_Rc2Decrypt(Rc2Ctx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                         uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::streamCall<dal::Rc2Block, &dal::BlockEngine::decrypt>(
      pCtx, inData, inDataLen, outData, outDataLen, dal::kRc2Map);
}

NORV_DAL_API int32_t NORV_DAL_Rc2MacUpdate(Rc2Ctx* pCtx, const uint8_t* inData,
                                           uint32_t inDataLen) {
  return dal::ciphers::macUpdateCall<dal::Rc2Block>(pCtx, inData, inDataLen, dal::kRc2Map);
}

NORV_DAL_API int32_t NORV_DAL_Rc2MacFinal(Rc2Ctx* pCtx, uint8_t* mac, uint32_t macLen) {
  return dal::ciphers::macFinalCall<dal::Rc2Block>(pCtx, mac, macLen, dal::kRc2Map);
}

NORV_DAL_API int32_t NORV_DAL_Rc2Mac(Rc2Ctx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                     uint8_t* mac, uint32_t macLen) {
  return dal::ciphers::macCall<dal::Rc2Block>(pCtx, inData, inDataLen, mac, macLen, dal::kRc2Map);
}

}  // extern "C"

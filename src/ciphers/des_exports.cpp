// The DES and triple-DES calls. They never touch the token and log
// nothing: a failure is the returned code alone.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <cstring>

#include "ciphers/block_exports.h"
#include "ciphers/des_block.h"

namespace dal {
namespace {

using ciphers::BlockEngine;
using ciphers::DesBlock;
using ciphers::ErrorMap;

// DES maps the engine's codes differently by call: only the decrypting
// calls report a bad padding byte, and only the one-shot decryption and
// the MAC report a length error as such.
constexpr ErrorMap kDesCipherMap{NORV_DAL_ERR_CIPHER_MODE, NORV_DAL_ERR_OTHER, NORV_DAL_ERR_OTHER,
                                 NORV_DAL_ERR_OTHER};
constexpr ErrorMap kDesDecFinalMap{NORV_DAL_ERR_CIPHER_MODE, NORV_DAL_ERR_CIPHERTEXT,
                                   NORV_DAL_ERR_OTHER, NORV_DAL_ERR_OTHER};
constexpr ErrorMap kDesStrictMap{NORV_DAL_ERR_CIPHER_MODE, NORV_DAL_ERR_CIPHERTEXT,
                                 NORV_DAL_ERR_DATA_LEN, NORV_DAL_ERR_OTHER};

std::int32_t acquire(const uint8_t* key, int32_t keyLen, const uint8_t* iv, int32_t mode,
                     int32_t encFlag, DesCtx** ppCtx) {
  if (key == nullptr || ppCtx == nullptr || (mode == NORV_DAL_MODE_CBC && iv == nullptr))
    return NORV_DAL_ERR_PARAM;
  if (!ciphers::desKeyLenValid(keyLen)) return NORV_DAL_ERR_DATA_LEN;
  DesCtx* ctx = ciphers::newContext<DesCtx>(ciphers::Family::Des);
  if (ctx == nullptr) return NORV_DAL_ERR_CREATE_SYM_KEY;
  if (mode == NORV_DAL_MODE_CBC) std::memcpy(ctx->iv, iv, sizeof ctx->iv);
  ctx->mode = mode;
  ctx->encFlag = encFlag;
  ciphers::desSetKey(*ctx, key, keyLen);
  *ppCtx = ctx;
  return NORV_DAL_OK;
}

}  // namespace
}  // namespace dal

extern "C" {

NORV_DAL_API int32_t NORV_DAL_DesAcquireContext(const uint8_t* key, int32_t keyLen,
                                                const uint8_t* iv, int32_t mode, int32_t encFlag,
                                                DesCtx** ppCtx) {
  return dal::guarded([&] { return dal::acquire(key, keyLen, iv, mode, encFlag, ppCtx); });
}

NORV_DAL_API int32_t NORV_DAL_DesEncUpdate(DesCtx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                           uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::streamCall<dal::DesBlock, &dal::BlockEngine::encUpdate>(
      pCtx, inData, inDataLen, outData, outDataLen, dal::kDesCipherMap);
}

NORV_DAL_API int32_t NORV_DAL_DesEncFinal(DesCtx* pCtx, uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::finalCall<dal::DesBlock, &dal::BlockEngine::encFinal>(
      pCtx, outData, outDataLen, dal::kDesCipherMap);
}

NORV_DAL_API int32_t NORV_DAL_DesEncrypt(DesCtx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                         uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::streamCall<dal::DesBlock, &dal::BlockEngine::encrypt>(
      pCtx, inData, inDataLen, outData, outDataLen, dal::kDesCipherMap);
}

NORV_DAL_API int32_t NORV_DAL_DesDecUpdate(DesCtx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                           uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::streamCall<dal::DesBlock, &dal::BlockEngine::decUpdate>(
      pCtx, inData, inDataLen, outData, outDataLen, dal::kDesCipherMap);
}

NORV_DAL_API int32_t NORV_DAL_DesDecFinal(DesCtx* pCtx, uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::finalCall<dal::DesBlock, &dal::BlockEngine::decFinal>(
      pCtx, outData, outDataLen, dal::kDesDecFinalMap);
}

NORV_DAL_API int32_t NORV_DAL_DesDecrypt(DesCtx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                         uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::streamCall<dal::DesBlock, &dal::BlockEngine::decrypt>(
      pCtx, inData, inDataLen, outData, outDataLen, dal::kDesStrictMap);
}

NORV_DAL_API int32_t NORV_DAL_DesMacUpdate(DesCtx* pCtx, const uint8_t* inData,
                                           uint32_t inDataLen) {
  return dal::ciphers::macUpdateCall<dal::DesBlock>(pCtx, inData, inDataLen, dal::kDesStrictMap);
}

NORV_DAL_API int32_t NORV_DAL_DesMacFinal(DesCtx* pCtx, uint8_t* mac, uint32_t macLen) {
  return dal::ciphers::macFinalCall<dal::DesBlock>(pCtx, mac, macLen, dal::kDesStrictMap);
}

NORV_DAL_API int32_t NORV_DAL_DesMac(DesCtx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                     uint8_t* mac, uint32_t macLen) {
  return dal::ciphers::macCall<dal::DesBlock>(pCtx, inData, inDataLen, mac, macLen,
                                              dal::kDesStrictMap);
}

}  // extern "C"

// The DES and triple-DES calls. They never touch the token and log
// nothing: a failure is the returned code alone.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <cstring>

#include "ciphers/block_exports.h"
#include "ciphers/des_block.h"

namespace {

using dal::ciphers::BlockEngine;
using dal::ciphers::DesBlock;
using dal::ciphers::ErrorMap;

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
  if (key == nullptr || ppCtx == nullptr || (mode == dal::ciphers::kModeCbc && iv == nullptr))
    return NORV_DAL_ERR_PARAM;
  if (!dal::ciphers::desKeyLenValid(keyLen)) return NORV_DAL_ERR_DATA_LEN;
  DesCtx* ctx = dal::ciphers::newSoftContext<DesCtx>(dal::ciphers::SoftKind::Des);
  if (ctx == nullptr) return NORV_DAL_ERR_CREATE_SYM_KEY;
  if (mode == dal::ciphers::kModeCbc) std::memcpy(ctx->iv, iv, sizeof ctx->iv);
  ctx->mode = mode;
  ctx->encFlag = encFlag;
  dal::ciphers::desSetKey(*ctx, key, keyLen);
  *ppCtx = ctx;
  return NORV_DAL_OK;
}

}  // namespace

extern "C" {

NORV_DAL_API int32_t NORV_DAL_DesAcquireContext(const uint8_t* key, int32_t keyLen,
                                                const uint8_t* iv, int32_t mode, int32_t encFlag,
                                                DesCtx** ppCtx) {
  return dal::guarded([&] { return acquire(key, keyLen, iv, mode, encFlag, ppCtx); });
}

NORV_DAL_API int32_t NORV_DAL_DesEncUpdate(DesCtx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                           uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::streamCall<DesBlock>(pCtx, inData, inDataLen, outData, outDataLen,
                                            kDesCipherMap, &BlockEngine::encUpdate);
}

NORV_DAL_API int32_t NORV_DAL_DesEncFinal(DesCtx* pCtx, uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::finalCall<DesBlock>(pCtx, outData, outDataLen, kDesCipherMap,
                                           &BlockEngine::encFinal);
}

NORV_DAL_API int32_t NORV_DAL_DesEncrypt(DesCtx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                         uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::streamCall<DesBlock>(pCtx, inData, inDataLen, outData, outDataLen,
                                            kDesCipherMap, &BlockEngine::encrypt);
}

NORV_DAL_API int32_t NORV_DAL_DesDecUpdate(DesCtx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                           uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::streamCall<DesBlock>(pCtx, inData, inDataLen, outData, outDataLen,
                                            kDesCipherMap, &BlockEngine::decUpdate);
}

NORV_DAL_API int32_t NORV_DAL_DesDecFinal(DesCtx* pCtx, uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::finalCall<DesBlock>(pCtx, outData, outDataLen, kDesDecFinalMap,
                                           &BlockEngine::decFinal);
}

NORV_DAL_API int32_t NORV_DAL_DesDecrypt(DesCtx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                         uint8_t* outData, uint32_t* outDataLen) {
  return dal::ciphers::streamCall<DesBlock>(pCtx, inData, inDataLen, outData, outDataLen,
                                            kDesStrictMap, &BlockEngine::decrypt);
}

NORV_DAL_API int32_t NORV_DAL_DesMacUpdate(DesCtx* pCtx, const uint8_t* inData,
                                           uint32_t inDataLen) {
  return dal::ciphers::macUpdateCall<DesBlock>(pCtx, inData, inDataLen, kDesStrictMap);
}

NORV_DAL_API int32_t NORV_DAL_DesMacFinal(DesCtx* pCtx, uint8_t* mac, uint32_t macLen) {
  return dal::ciphers::macFinalCall<DesBlock>(pCtx, mac, macLen, kDesStrictMap);
}

NORV_DAL_API int32_t NORV_DAL_DesMac(DesCtx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                     uint8_t* mac, uint32_t macLen) {
  return dal::ciphers::macCall<DesBlock>(pCtx, inData, inDataLen, mac, macLen, kDesStrictMap);
}

}  // extern "C"

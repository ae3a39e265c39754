// RC4: a stream cipher behind the same acquire, update, final and release
// calls as the block ciphers. Encryption and decryption are one call.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/rc4.h>

#include "ciphers/cipher_result.h"
#include "ciphers/context_registry.h"
#include "device/export_guard.h"
#include "norv_dal_tkp30.h"

struct Rc4Ctx {
  RC4_KEY key;
};

namespace dal {
namespace {

// The key schedule cycles over at most this many key bytes.
constexpr std::int32_t kMaxRc4KeyBytes = 256;

std::int32_t acquire(const uint8_t* key, int32_t keyLen, Rc4Ctx** ppCtx) {
  if (key == nullptr || ppCtx == nullptr) return NORV_DAL_ERR_PARAM;
  if (keyLen <= 0) return NORV_DAL_ERR_DATA_LEN;
  Rc4Ctx* ctx = ciphers::newContext<Rc4Ctx>(ciphers::Family::Rc4);
  if (ctx == nullptr) return NORV_DAL_ERR_OTHER;
  RC4_set_key(&ctx->key, keyLen < kMaxRc4KeyBytes ? keyLen : kMaxRc4KeyBytes, key);
  *ppCtx = ctx;
  return NORV_DAL_OK;
}

}  // namespace
}  // namespace dal

extern "C" {

NORV_DAL_API int32_t NORV_DAL_Rc4AcquireContext(const uint8_t* key, int32_t keyLen,
                                                const uint8_t* /*iv*/, int32_t /*mode*/,
                                                int32_t /*encFlag*/, Rc4Ctx** ppCtx) {
  return dal::guarded([&] { return dal::acquire(key, keyLen, ppCtx); });
}

// One routine under two names: the key stream does not care which way the
// data go.
NORV_DAL_API int32_t NORV_DAL_Rc4Update(Rc4Ctx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                        uint8_t* outData, uint32_t* outDataLen) {
  return dal::guarded([&] {
    if (pCtx == nullptr || outData == nullptr || outDataLen == nullptr ||
        (inData == nullptr && inDataLen != 0))
      return NORV_DAL_ERR_PARAM;
    const dal::ciphers::ContextUse use(pCtx, dal::ciphers::Family::Rc4);
    if (use.status() != NORV_DAL_OK) return use.status();
    // The count first: then only the claim stays live across the cipher,
    // which spares a 16-byte message most of the registers saved around it.
    *outDataLen = inDataLen;
    if (inDataLen > 0) RC4(&pCtx->key, inDataLen, inData, outData);
    return NORV_DAL_OK;
  });
}

NORV_DAL_API int32_t NORV_DAL_Rc4Encrypt(Rc4Ctx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                         uint8_t* outData, uint32_t* outDataLen)
    __attribute__((alias("NORV_DAL_Rc4Update")));

// A stream cipher has nothing pending at the end.
NORV_DAL_API int32_t NORV_DAL_Rc4Final(Rc4Ctx* pCtx, uint8_t* outData, uint32_t* outDataLen) {
  return dal::guarded([&] {
    if (pCtx == nullptr || outData == nullptr || outDataLen == nullptr) return NORV_DAL_ERR_PARAM;
    const dal::ciphers::ContextUse use(pCtx, dal::ciphers::Family::Rc4);
    if (use.status() != NORV_DAL_OK) return use.status();
    *outDataLen = 0;
    return NORV_DAL_OK;
  });
}

}  // extern "C"

// The SSF33 calls: the acquire loads the key into the token; every later
// call sends blocks through the cipher state that load left there. Every
// call on a context first claims it: a live SSF33 context, used by no
// other call.
#include <algorithm>
#include <span>

#include "card/ssf33_commands.h"
#include "ciphers/context_registry.h"
#include "ciphers/ssf33_context.h"
#include "device/exchange.h"
#include "device/export_guard.h"
#include "device/log.h"
#include "device/session.h"
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

using ssf33::kBlockSize;

bool keyLenValid(int32_t keyLen, bool cbc) {
  const std::size_t room = cbc ? ssf33::kMaxKeyCbc : ssf33::kMaxKeyEcb;
  return keyLen > 0 && static_cast<std::size_t>(keyLen) <= room;
}

bool streamArgsValid(const SSF33Ctx* ctx, const uint8_t* in, uint32_t inLen, const uint8_t* out,
                     const uint32_t* outLen) {
  return ctx != nullptr && out != nullptr && outLen != nullptr && (in != nullptr || inLen == 0);
}

using ciphers::Family;

// Runs `body(context)` with the context claimed for this call.
template <typename Body>
std::int32_t withContext(SSF33Ctx* ctx, Body body) {
  const ciphers::ContextUse use(ctx, Family::Ssf33);
  if (use.status() != NORV_DAL_OK) return use.status();
  return body(*ctx);
}

std::int32_t loadKey(SSF33Ctx& ctx, std::span<const uint8_t> key, bool cbc) {
  const std::span<const uint8_t> iv =
      cbc ? std::span<const uint8_t>(ctx.iv) : std::span<const uint8_t>();
  return ssf33::CosSsf33LoadKey(key, iv, cbc, ctx.encFlag == ssf33::kEncrypt);
}

// A zero-filled context recording the acquire call; nullptr without memory.
SSF33Ctx* newContext(std::span<const uint8_t> key, const uint8_t* iv, int32_t mode,
                     int32_t encFlag) {
  auto* ctx = ciphers::newContext<SSF33Ctx>(Family::Ssf33);
  if (ctx == nullptr) return nullptr;
  std::copy_n(key.begin(), std::min(key.size(), kBlockSize), ctx->key.begin());
  ctx->mode = mode;
  ctx->encFlag = encFlag;
  if (mode == NORV_DAL_MODE_CBC) std::copy_n(iv, kBlockSize, ctx->iv.begin());
  return ctx;
}

std::int32_t acquire(const uint8_t* key, int32_t keyLen, const uint8_t* iv, int32_t mode,
                     int32_t encFlag, SSF33Ctx** ppCtx) {
  const bool cbc = mode == NORV_DAL_MODE_CBC;
  if (key == nullptr || ppCtx == nullptr || (cbc && iv == nullptr)) return NORV_DAL_ERR_PARAM;
  if (!keyLenValid(keyLen, cbc)) return NORV_DAL_ERR_DATA_LEN;
  if (int32_t rv = DalOpenForOperation(); rv != 0) return rv;
  const std::span<const uint8_t> keyBytes(key, static_cast<std::size_t>(keyLen));
  SSF33Ctx* ctx = newContext(keyBytes, iv, mode, encFlag);
  if (ctx == nullptr) return NORV_DAL_ERR_OTHER;
  if (int32_t sw = loadKey(*ctx, keyBytes, cbc); sw != kSwSuccess) {
    DAL_LOG_VALUE("SSF33 not SUPPORT:", sw);
    ciphers::releaseContext(ctx, {Family::Ssf33});
    return NORV_DAL_ERR_NOT_SUPPORTED;
  }
  *ppCtx = ctx;
  return NORV_DAL_OK;
}

// Update and final run back to back; the line naming the step that failed
// follows that step's own line.
template <typename Update, typename Final>
std::int32_t oneShot(SSF33Ctx* ctx, const uint8_t* in, uint32_t inLen, uint8_t* out,
                     uint32_t* outLen, Update update, Final final, const char* updateFailure,
                     const char* finalFailure) {
  if (!streamArgsValid(ctx, in, inLen, out, outLen)) return NORV_DAL_ERR_PARAM;
  return withContext(ctx, [&](SSF33Ctx& context) {
    uint32_t updated = 0;
    if (int32_t rv = update(context, std::span(in, inLen), out, updated); rv != NORV_DAL_OK) {
      DAL_LOG(updateFailure);
      return rv;
    }
    uint32_t finished = 0;
    if (int32_t rv = final(context, out + updated, finished); rv != NORV_DAL_OK) {
      DAL_LOG(finalFailure);
      return rv;
    }
    *outLen = updated + finished;
    return NORV_DAL_OK;
  });
}

}  // namespace
}  // namespace dal

extern "C" {

NORV_DAL_API int32_t NORV_DAL_SSF33AcquireContext(const uint8_t* key, int32_t keyLen,
                                                  const uint8_t* iv, int32_t mode, int32_t encFlag,
                                                  SSF33Ctx** ppCtx) {
  return dal::guarded([&] { return dal::acquire(key, keyLen, iv, mode, encFlag, ppCtx); });
}

NORV_DAL_API int32_t NORV_DAL_SSF33EncUpdate(SSF33Ctx* pCtx, const uint8_t* inData,
                                             uint32_t inDataLen, uint8_t* outData,
                                             uint32_t* outDataLen) {
  return dal::guarded([&] {
    if (!dal::streamArgsValid(pCtx, inData, inDataLen, outData, outDataLen))
      return NORV_DAL_ERR_PARAM;
    return dal::withContext(pCtx, [&](SSF33Ctx& ctx) {
      return dal::ssf33::encUpdate(ctx, std::span(inData, inDataLen), outData, *outDataLen);
    });
  });
}

NORV_DAL_API int32_t NORV_DAL_SSF33EncFinal(SSF33Ctx* pCtx, uint8_t* outData,
                                            uint32_t* outDataLen) {
  return dal::guarded([&] {
    if (pCtx == nullptr || outData == nullptr || outDataLen == nullptr) return NORV_DAL_ERR_PARAM;
    return dal::withContext(
        pCtx, [&](SSF33Ctx& ctx) { return dal::ssf33::encFinal(ctx, outData, *outDataLen); });
  });
}

NORV_DAL_API int32_t NORV_DAL_SSF33Encrypt(SSF33Ctx* pCtx, const uint8_t* inData,
                                           uint32_t inDataLen, uint8_t* outData,
                                           uint32_t* outDataLen) {
  return dal::guarded([&] {
    return dal::oneShot(pCtx, inData, inDataLen, outData, outDataLen, dal::ssf33::encUpdate,
                        dal::ssf33::encFinal, "******>NORV_DAL_SSF33EncUpdate Error",
                        "******>NORV_DAL_SSF33EncFinal Error");
  });
}

NORV_DAL_API int32_t NORV_DAL_SSF33DecUpdate(SSF33Ctx* pCtx, const uint8_t* inData,
                                             uint32_t inDataLen, uint8_t* outData,
                                             uint32_t* outDataLen) {
  return dal::guarded([&] {
    if (!dal::streamArgsValid(pCtx, inData, inDataLen, outData, outDataLen))
      return NORV_DAL_ERR_PARAM;
    return dal::withContext(pCtx, [&](SSF33Ctx& ctx) {
      return dal::ssf33::decUpdate(ctx, std::span(inData, inDataLen), outData, *outDataLen);
    });
  });
}

NORV_DAL_API int32_t NORV_DAL_SSF33DecFinal(SSF33Ctx* pCtx, uint8_t* outData,
                                            uint32_t* outDataLen) {
  return dal::guarded([&] {
    if (pCtx == nullptr || outData == nullptr || outDataLen == nullptr) return NORV_DAL_ERR_PARAM;
    return dal::withContext(
        pCtx, [&](SSF33Ctx& ctx) { return dal::ssf33::decFinal(ctx, outData, *outDataLen); });
  });
}

NORV_DAL_API int32_t NORV_DAL_SSF33Decrypt(SSF33Ctx* pCtx, const uint8_t* inData,
                                           uint32_t inDataLen, uint8_t* outData,
                                           uint32_t* outDataLen) {
  return dal::guarded([&] {
    DAL_LOG_VALUE("NORV_DAL_SSF33Decrypt inDataLen=", static_cast<int32_t>(inDataLen));
    const int32_t rv = dal::oneShot(
        pCtx, inData, inDataLen, outData, outDataLen, dal::ssf33::decUpdate, dal::ssf33::decFinal,
        "******>NORV_DAL_SSF33DecUpdate Error", "******>NORV_DAL_SSF33DecFinal Error");
    if (rv == NORV_DAL_OK)
      DAL_LOG_VALUE("NORV_DAL_SSF33Decrypt *outDataLen=", static_cast<int32_t>(*outDataLen));
    return rv;
  });
}

NORV_DAL_API int32_t NORV_DAL_SSF33MacUpdate(SSF33Ctx* pCtx, const uint8_t* inData,
                                             uint32_t inDataLen) {
  return dal::guarded([&] {
    if (pCtx == nullptr || (inData == nullptr && inDataLen != 0)) return NORV_DAL_ERR_PARAM;
    return dal::withContext(pCtx, [&](SSF33Ctx& ctx) {
      return dal::ssf33::macUpdate(ctx, std::span(inData, inDataLen));
    });
  });
}

NORV_DAL_API int32_t NORV_DAL_SSF33MacFinal(SSF33Ctx* pCtx, uint8_t* mac, uint32_t macLen) {
  return dal::guarded([&] {
    if (pCtx == nullptr || mac == nullptr) return NORV_DAL_ERR_PARAM;
    return dal::withContext(pCtx,
                            [&](SSF33Ctx& ctx) { return dal::ssf33::macFinal(ctx, mac, macLen); });
  });
}

NORV_DAL_API int32_t NORV_DAL_SSF33Mac(SSF33Ctx* pCtx, const uint8_t* inData, uint32_t inDataLen,
                                       uint8_t* mac, uint32_t macLen) {
  return dal::guarded([&] {
    if (pCtx == nullptr || mac == nullptr || (inData == nullptr && inDataLen != 0))
      return NORV_DAL_ERR_PARAM;
    return dal::withContext(pCtx, [&](SSF33Ctx& ctx) {
      // A MAC length the final would refuse is refused before any block reaches the token.
      if (macLen > dal::kBlockSize) {
        DAL_LOG("******>mac length");
        DAL_LOG("******>NORV_DAL_SSF33MacFinal");
        return NORV_DAL_ERR_DATA_LEN;
      }
      if (int32_t rv = dal::ssf33::macUpdate(ctx, std::span(inData, inDataLen));
          rv != NORV_DAL_OK) {
        DAL_LOG("******>NORV_DAL_SSF33MacUpdate");
        return rv;
      }
      if (int32_t rv = dal::ssf33::macFinal(ctx, mac, macLen); rv != NORV_DAL_OK) {
        DAL_LOG("******>NORV_DAL_SSF33MacFinal");
        return rv;
      }
      return NORV_DAL_OK;
    });
  });
}

NORV_DAL_API int32_t NORV_DAL_SSF33ReleaseCtx(SSF33Ctx* pCtx) {
  return dal::guarded([&] {
    if (pCtx == nullptr) return NORV_DAL_OK;
    // Wipes the key copy; nothing goes to the token.
    return dal::ciphers::releaseContext(pCtx, {dal::Family::Ssf33});
  });
}

}  // extern "C"

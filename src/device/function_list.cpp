// NORV_DAL_GetFunctionList: one lookup gives a run-time loader every export.
// The record is a binary interface shared with separately compiled callers,
// so the order below is fixed; where several exports are one routine their
// entries hold that routine's one address.
#include "norv_dal_tkp30.h"

namespace dal {
namespace {

constexpr NORV_DAL_FUNCTION_LIST kFunctionList = {
    NORV_DAL_Initialize,
    NORV_DAL_Finalize,
    NORV_DAL_FormatDevice,
    NORV_DAL_GetFreeSpace,
    NORV_DAL_Login,
    NORV_DAL_Logout,
    NORV_DAL_IsLogin,
    NORV_DAL_ChangePin,
    NORV_DAL_UnlockPin,
    NORV_DAL_CreateGlobalInfoFile,
    NORV_DAL_ReadGlobalInfoFile,
    NORV_DAL_WriteGlobalInfoFile,
    NORV_DAL_CreateUsrDataFile,
    NORV_DAL_ReadUsrDataFile,
    NORV_DAL_WriteUsrDataFile,
    NORV_DAL_DeleteUsrDataFile,
    NORV_DAL_GenRsaKeyPair,
    NORV_DAL_GetPublicKey,
    NORV_DAL_ImportRsaKeyPair,
    NORV_DAL_RsaPrivateKeyRaw,
    NORV_DAL_RsaPublicKeyRaw,
    NORV_DAL_Pkcs1RsaPublicKeyEnc,
    NORV_DAL_Pkcs1RsaPublicKeyDec,
    NORV_DAL_DesAcquireContext,
    NORV_DAL_DesEncUpdate,
    NORV_DAL_DesEncFinal,
    NORV_DAL_DesReleaseCtx,
    NORV_DAL_DesEncrypt,
    NORV_DAL_DesDecUpdate,
    NORV_DAL_DesDecFinal,
    NORV_DAL_DesDecrypt,
    NORV_DAL_DesMacUpdate,
    NORV_DAL_DesMacFinal,
    NORV_DAL_DesMac,
    NORV_DAL_Rc2AcquireContext,
    NORV_DAL_Rc2EncUpdate,
    NORV_DAL_Rc2EncFinal,
    NORV_DAL_Rc2ReleaseCtx,
    NORV_DAL_Rc2Encrypt,
    NORV_DAL_Rc2DecUpdate,
    NORV_DAL_Rc2DecFinal,
    NORV_DAL_Rc2Decrypt,
    NORV_DAL_Rc2MacUpdate,
    NORV_DAL_Rc2MacFinal,
    NORV_DAL_Rc2Mac,
    NORV_DAL_Rc4AcquireContext,
    NORV_DAL_Rc4Update,
    NORV_DAL_Rc4Final,
    NORV_DAL_Rc4ReleaseCtx,
    NORV_DAL_Rc4Encrypt,
    NORV_DAL_SSF33AcquireContext,
    NORV_DAL_SSF33EncUpdate,
    NORV_DAL_SSF33EncFinal,
    NORV_DAL_SSF33ReleaseCtx,
    NORV_DAL_SSF33Encrypt,
    NORV_DAL_SSF33DecUpdate,
    NORV_DAL_SSF33DecFinal,
    NORV_DAL_SSF33Decrypt,
    NORV_DAL_SSF33MacUpdate,
    NORV_DAL_SSF33MacFinal,
    NORV_DAL_SSF33Mac,
    NORV_DAL_GenRand,
    NORV_DAL_GetErrMsg,
    NORV_DAL_CreateMutex,
    NORV_DAL_LockMutex,
    NORV_DAL_UnLockMutex,
    NORV_DAL_DestroyMutex,
    NORV_DAL_InitializeEx,
    NORV_DAL_FinalizeEx,
};

}  // namespace
}  // namespace dal

extern "C" {

// A null record is refused rather than written through.
NORV_DAL_API int32_t NORV_DAL_GetFunctionList(NORV_DAL_FUNCTION_LIST* pFunctionList) {
  if (pFunctionList == nullptr) return NORV_DAL_ERR_PARAM;
  *pFunctionList = dal::kFunctionList;
  return NORV_DAL_OK;
}

}  // extern "C"

// The module's one export: the function list, in the standard's order.
#include "calls/calls.h"

namespace {

using namespace p11::calls;

CK_RV getFunctionList(CK_FUNCTION_LIST_PTR_PTR list);

// The entries in the standard's order, packed.
// clang-format off
CK_FUNCTION_LIST kFunctionList = {
    {2, 40},
    Initialize, Finalize, GetInfo, getFunctionList, GetSlotList, GetSlotInfo, GetTokenInfo,
    GetMechanismList, GetMechanismInfo, InitToken, InitPIN, SetPIN, OpenSession, CloseSession,
    CloseAllSessions, GetSessionInfo, GetOperationState, SetOperationState, Login, Logout,
    CreateObject, CopyObject, DestroyObject, GetObjectSize, GetAttributeValue, SetAttributeValue,
    FindObjectsInit, FindObjects, FindObjectsFinal, EncryptInit, Encrypt, EncryptUpdate,
    EncryptFinal, DecryptInit, Decrypt, DecryptUpdate, DecryptFinal, DigestInit, Digest,
    DigestUpdate, DigestKey, DigestFinal, SignInit, Sign, SignUpdate, SignFinal, SignRecoverInit,
    SignRecover, VerifyInit, Verify, VerifyUpdate, VerifyFinal, VerifyRecoverInit, VerifyRecover,
    DigestEncryptUpdate, DecryptDigestUpdate, SignEncryptUpdate, DecryptVerifyUpdate, GenerateKey,
    GenerateKeyPair, WrapKey, UnwrapKey, DeriveKey, SeedRandom, GenerateRandom, GetFunctionStatus,
    CancelFunction, WaitForSlotEvent,
};
// clang-format on

CK_RV getFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
  if (list == nullptr) return CKR_ARGUMENTS_BAD;
  *list = &kFunctionList;
  return CKR_OK;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) CK_RV C_GetFunctionList(
    CK_FUNCTION_LIST_PTR_PTR list) {
  return getFunctionList(list);
}

// The module's entry points, in the order of the function list. Each has
// the standard's signature; function_list.cpp hands them out.
#pragma once

#include "ck/ck.h"
#include "ck/ck_v3.h"

namespace p11::calls {

// The standard's names without their C_.
// NOLINTBEGIN(readability-identifier-naming)

// general_calls.cpp
CK_RV Initialize(CK_VOID_PTR args);
CK_RV Finalize(CK_VOID_PTR reserved);
CK_RV GetInfo(CK_INFO_PTR info);    // through the 2.40 list
CK_RV GetInfo30(CK_INFO_PTR info);  // through the 3.0 list
CK_RV GetSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR list, CK_ULONG_PTR count);
CK_RV GetSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO_PTR info);
CK_RV GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info);
CK_RV GetMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE_PTR list, CK_ULONG_PTR count);
CK_RV GetMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO_PTR info);
CK_RV WaitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID_PTR slot, CK_VOID_PTR reserved);

// pin_calls.cpp
CK_RV InitToken(CK_SLOT_ID slot, CK_UTF8CHAR_PTR pin, CK_ULONG pinLen, CK_UTF8CHAR_PTR label);
CK_RV InitPIN(CK_SESSION_HANDLE h, CK_UTF8CHAR_PTR pin, CK_ULONG pinLen);
CK_RV SetPIN(CK_SESSION_HANDLE h, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLen, CK_UTF8CHAR_PTR newPin,
             CK_ULONG newLen);
CK_RV Login(CK_SESSION_HANDLE h, CK_USER_TYPE userType, CK_UTF8CHAR_PTR pin, CK_ULONG pinLen);
CK_RV Logout(CK_SESSION_HANDLE h);

// session_calls.cpp
CK_RV OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_VOID_PTR application, CK_NOTIFY notify,
                  CK_SESSION_HANDLE_PTR h);
CK_RV CloseSession(CK_SESSION_HANDLE h);
CK_RV CloseAllSessions(CK_SLOT_ID slot);
CK_RV GetSessionInfo(CK_SESSION_HANDLE h, CK_SESSION_INFO_PTR info);
CK_RV GetOperationState(CK_SESSION_HANDLE h, CK_BYTE_PTR state, CK_ULONG_PTR stateLen);
CK_RV SetOperationState(CK_SESSION_HANDLE h, CK_BYTE_PTR state, CK_ULONG stateLen,
                        CK_OBJECT_HANDLE encryptionKey, CK_OBJECT_HANDLE authenticationKey);
CK_RV GetFunctionStatus(CK_SESSION_HANDLE h);
CK_RV CancelFunction(CK_SESSION_HANDLE h);

// object_calls.cpp
CK_RV CreateObject(CK_SESSION_HANDLE h, CK_ATTRIBUTE_PTR tmpl, CK_ULONG count,
                   CK_OBJECT_HANDLE_PTR object);
CK_RV CopyObject(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR tmpl,
                 CK_ULONG count, CK_OBJECT_HANDLE_PTR newObject);
CK_RV DestroyObject(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE object);
CK_RV GetObjectSize(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE object, CK_ULONG_PTR size);
CK_RV GetAttributeValue(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR tmpl,
                        CK_ULONG count);
CK_RV SetAttributeValue(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR tmpl,
                        CK_ULONG count);
CK_RV FindObjectsInit(CK_SESSION_HANDLE h, CK_ATTRIBUTE_PTR tmpl, CK_ULONG count);
CK_RV FindObjects(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE_PTR objects, CK_ULONG max,
                  CK_ULONG_PTR count);
CK_RV FindObjectsFinal(CK_SESSION_HANDLE h);

// crypt_calls.cpp
CK_RV EncryptInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
CK_RV Encrypt(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR out,
              CK_ULONG_PTR outLen);
CK_RV EncryptUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR out,
                    CK_ULONG_PTR outLen);
CK_RV EncryptFinal(CK_SESSION_HANDLE h, CK_BYTE_PTR out, CK_ULONG_PTR outLen);
CK_RV DecryptInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
CK_RV Decrypt(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR out,
              CK_ULONG_PTR outLen);
CK_RV DecryptUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR out,
                    CK_ULONG_PTR outLen);
CK_RV DecryptFinal(CK_SESSION_HANDLE h, CK_BYTE_PTR out, CK_ULONG_PTR outLen);

// digest_calls.cpp
CK_RV DigestInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism);
CK_RV Digest(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR digest,
             CK_ULONG_PTR digestLen);
CK_RV DigestUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen);
CK_RV DigestKey(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE key);
CK_RV DigestFinal(CK_SESSION_HANDLE h, CK_BYTE_PTR digest, CK_ULONG_PTR digestLen);

// sign_calls.cpp
CK_RV SignInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
CK_RV Sign(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR signature,
           CK_ULONG_PTR signatureLen);
CK_RV SignUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen);
CK_RV SignFinal(CK_SESSION_HANDLE h, CK_BYTE_PTR signature, CK_ULONG_PTR signatureLen);
CK_RV SignRecoverInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
CK_RV SignRecover(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR signature,
                  CK_ULONG_PTR signatureLen);
CK_RV VerifyInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
CK_RV Verify(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR signature,
             CK_ULONG signatureLen);
CK_RV VerifyUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen);
CK_RV VerifyFinal(CK_SESSION_HANDLE h, CK_BYTE_PTR signature, CK_ULONG signatureLen);
CK_RV VerifyRecoverInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
CK_RV VerifyRecover(CK_SESSION_HANDLE h, CK_BYTE_PTR signature, CK_ULONG signatureLen,
                    CK_BYTE_PTR data, CK_ULONG_PTR dataLen);

// dual_calls.cpp
CK_RV DigestEncryptUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR part, CK_ULONG partLen, CK_BYTE_PTR out,
                          CK_ULONG_PTR outLen);
CK_RV DecryptDigestUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR part, CK_ULONG partLen, CK_BYTE_PTR out,
                          CK_ULONG_PTR outLen);
CK_RV SignEncryptUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR part, CK_ULONG partLen, CK_BYTE_PTR out,
                        CK_ULONG_PTR outLen);
CK_RV DecryptVerifyUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR part, CK_ULONG partLen, CK_BYTE_PTR out,
                          CK_ULONG_PTR outLen);

// key_calls.cpp
CK_RV GenerateKey(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_ATTRIBUTE_PTR tmpl,
                  CK_ULONG count, CK_OBJECT_HANDLE_PTR key);
CK_RV GenerateKeyPair(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism,
                      CK_ATTRIBUTE_PTR publicTemplate, CK_ULONG publicCount,
                      CK_ATTRIBUTE_PTR privateTemplate, CK_ULONG privateCount,
                      CK_OBJECT_HANDLE_PTR publicKey, CK_OBJECT_HANDLE_PTR privateKey);
CK_RV WrapKey(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE wrappingKey,
              CK_OBJECT_HANDLE key, CK_BYTE_PTR wrapped, CK_ULONG_PTR wrappedLen);
CK_RV UnwrapKey(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE unwrappingKey,
                CK_BYTE_PTR wrapped, CK_ULONG wrappedLen, CK_ATTRIBUTE_PTR tmpl, CK_ULONG count,
                CK_OBJECT_HANDLE_PTR key);
CK_RV DeriveKey(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE baseKey,
                CK_ATTRIBUTE_PTR tmpl, CK_ULONG count, CK_OBJECT_HANDLE_PTR key);
CK_RV SeedRandom(CK_SESSION_HANDLE h, CK_BYTE_PTR seed, CK_ULONG seedLen);
CK_RV GenerateRandom(CK_SESSION_HANDLE h, CK_BYTE_PTR out, CK_ULONG len);

// v3_calls.cpp: what version 3.0 adds. The token has no named users and
// no mechanism for the message-based calls.
CK_RV LoginUser(CK_SESSION_HANDLE h, CK_USER_TYPE userType, CK_UTF8CHAR_PTR pin, CK_ULONG pinLen,
                CK_UTF8CHAR_PTR userName, CK_ULONG userNameLen);
CK_RV SessionCancel(CK_SESSION_HANDLE h, CK_FLAGS flags);
CK_RV MessageInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
CK_RV CryptMessage(CK_SESSION_HANDLE h, CK_VOID_PTR parameter, CK_ULONG parameterLen,
                   CK_BYTE_PTR associatedData, CK_ULONG associatedDataLen, CK_BYTE_PTR in,
                   CK_ULONG inLen, CK_BYTE_PTR out, CK_ULONG_PTR outLen);
CK_RV CryptMessageBegin(CK_SESSION_HANDLE h, CK_VOID_PTR parameter, CK_ULONG parameterLen,
                        CK_BYTE_PTR associatedData, CK_ULONG associatedDataLen);
CK_RV CryptMessageNext(CK_SESSION_HANDLE h, CK_VOID_PTR parameter, CK_ULONG parameterLen,
                       CK_BYTE_PTR in, CK_ULONG inLen, CK_BYTE_PTR out, CK_ULONG_PTR outLen,
                       CK_FLAGS flags);
CK_RV MessageFinal(CK_SESSION_HANDLE h);
CK_RV SignMessage(CK_SESSION_HANDLE h, CK_VOID_PTR parameter, CK_ULONG parameterLen,
                  CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR signature,
                  CK_ULONG_PTR signatureLen);
CK_RV MessageBegin(CK_SESSION_HANDLE h, CK_VOID_PTR parameter, CK_ULONG parameterLen);
CK_RV VerifyMessage(CK_SESSION_HANDLE h, CK_VOID_PTR parameter, CK_ULONG parameterLen,
                    CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR signature,
                    CK_ULONG signatureLen);
// NOLINTEND(readability-identifier-naming)

}  // namespace p11::calls

// The module's exports: the function list of version 2.40, and the
// interfaces of version 3.0 (the "PKCS 11" interface in versions 3.0 and
// 2.40). Each list's C_GetInfo reports its own version.
#include <cstring>

#include "calls/calls.h"

namespace {

using namespace p11::calls;

CK_RV getFunctionList(CK_FUNCTION_LIST_PTR_PTR list);
CK_RV getInterfaceList(CK_INTERFACE_PTR list, CK_ULONG_PTR count);
CK_RV getInterface(CK_UTF8CHAR_PTR name, CK_VERSION_PTR version, CK_INTERFACE_PTR_PTR found,
                   CK_FLAGS flags);

// The entries both lists share, in the standard's order.
// clang-format off
#define TKP30_ENTRIES_240(getInfo)                                                                 \
    Initialize, Finalize, getInfo, getFunctionList, GetSlotList, GetSlotInfo, GetTokenInfo,        \
    GetMechanismList, GetMechanismInfo, InitToken, InitPIN, SetPIN, OpenSession, CloseSession,     \
    CloseAllSessions, GetSessionInfo, GetOperationState, SetOperationState, Login, Logout,         \
    CreateObject, CopyObject, DestroyObject, GetObjectSize, GetAttributeValue, SetAttributeValue,  \
    FindObjectsInit, FindObjects, FindObjectsFinal, EncryptInit, Encrypt, EncryptUpdate,           \
    EncryptFinal, DecryptInit, Decrypt, DecryptUpdate, DecryptFinal, DigestInit, Digest,           \
    DigestUpdate, DigestKey, DigestFinal, SignInit, Sign, SignUpdate, SignFinal, SignRecoverInit,  \
    SignRecover, VerifyInit, Verify, VerifyUpdate, VerifyFinal, VerifyRecoverInit, VerifyRecover,  \
    DigestEncryptUpdate, DecryptDigestUpdate, SignEncryptUpdate, DecryptVerifyUpdate, GenerateKey, \
    GenerateKeyPair, WrapKey, UnwrapKey, DeriveKey, SeedRandom, GenerateRandom, GetFunctionStatus, \
    CancelFunction, WaitForSlotEvent

CK_FUNCTION_LIST kFunctionList = {{2, 40}, TKP30_ENTRIES_240(GetInfo)};

CK_FUNCTION_LIST_3_0 kFunctionList30 = {
    {3, 0}, TKP30_ENTRIES_240(GetInfo30),
    getInterfaceList, getInterface, LoginUser, SessionCancel,
    MessageInit, CryptMessage, CryptMessageBegin, CryptMessageNext, MessageFinal,  // encrypt
    MessageInit, CryptMessage, CryptMessageBegin, CryptMessageNext, MessageFinal,  // decrypt
    MessageInit, SignMessage, MessageBegin, SignMessage, MessageFinal,             // sign
    MessageInit, VerifyMessage, MessageBegin, VerifyMessage, MessageFinal,         // verify
};
// clang-format on
#undef TKP30_ENTRIES_240

CK_CHAR kInterfaceName[] = "PKCS 11";
// The newest first: an application that names no version gets it. The
// module must be initialised again in a forked child, so neither is fork
// safe.
CK_INTERFACE kInterfaces[] = {{kInterfaceName, &kFunctionList30, 0},
                              {kInterfaceName, &kFunctionList, 0}};

CK_VERSION versionOf(const CK_INTERFACE& interface) {
  return static_cast<const CK_VERSION*>(interface.pFunctionList)[0];
}

CK_RV getFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
  if (list == nullptr) return CKR_ARGUMENTS_BAD;
  *list = &kFunctionList;
  return CKR_OK;
}

CK_RV getInterfaceList(CK_INTERFACE_PTR list, CK_ULONG_PTR count) {
  if (count == nullptr) return CKR_ARGUMENTS_BAD;
  const CK_ULONG room = *count;
  *count = std::size(kInterfaces);
  if (list == nullptr) return CKR_OK;
  if (room < std::size(kInterfaces)) return CKR_BUFFER_TOO_SMALL;
  std::copy(std::begin(kInterfaces), std::end(kInterfaces), list);
  return CKR_OK;
}

// CKR_ARGUMENTS_BAD when no interface has that name, version and flags.
CK_RV getInterface(CK_UTF8CHAR_PTR name, CK_VERSION_PTR version, CK_INTERFACE_PTR_PTR found,
                   CK_FLAGS flags) {
  if (found == nullptr) return CKR_ARGUMENTS_BAD;
  const auto* asked = reinterpret_cast<const char*>(name);
  if (asked != nullptr && std::strcmp(asked, reinterpret_cast<const char*>(kInterfaceName)) != 0)
    return CKR_ARGUMENTS_BAD;
  for (CK_INTERFACE& interface : kInterfaces) {
    const CK_VERSION v = versionOf(interface);
    const bool versionFits =
        version == nullptr || (version->major == v.major && version->minor == v.minor);
    if (versionFits && (flags & ~interface.flags) == 0) {
      *found = &interface;
      return CKR_OK;
    }
  }
  return CKR_ARGUMENTS_BAD;
}

}  // namespace

// TKP30_PKCS11_EXPORT (pkcs11/CMakeLists.txt) makes each of these visible
// in the ELF module; on Windows the .def file names the exports.
extern "C" {

TKP30_PKCS11_EXPORT CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
  return getFunctionList(list);
}

TKP30_PKCS11_EXPORT CK_RV C_GetInterfaceList(CK_INTERFACE_PTR list, CK_ULONG_PTR count) {
  return getInterfaceList(list, count);
}

TKP30_PKCS11_EXPORT CK_RV C_GetInterface(CK_UTF8CHAR_PTR name, CK_VERSION_PTR version,
                                         CK_INTERFACE_PTR_PTR found, CK_FLAGS flags) {
  return getInterface(name, version, found, flags);
}

}  // extern "C"

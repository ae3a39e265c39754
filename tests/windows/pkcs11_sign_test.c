/* An application of the PKCS #11 module as Windows programs are built: the
 * standard's header with its Windows conventions (structures packed to 1
 * byte, CK_ULONG of 32 bits), the module loaded at run time from the path
 * given, and through its function list: initialise, format a fresh
 * emulated token, make a key pair, then as a fresh application log in,
 * find the private key and sign. The signature is checked against the
 * public key's CKA_MODULUS with the library's own software RSA, never with
 * the module. Exits 0 when every check holds.
 *
 *   pkcs11_sign_test <path of tkp30-pkcs11.dll> <token image to make>
 */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <p11-kit/pkcs11.h>

typedef int32_t(__cdecl* PublicDecryptFn)(const uint8_t*, uint32_t, const uint8_t*, int32_t,
                                          uint8_t*, int32_t*);

static int failures = 0;

static int check(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
  return ok;
}

static int checkRv(CK_RV rv, const char* call) {
  if (rv != CKR_OK) fprintf(stderr, "FAILED: %s returned 0x%lx\n", call, (unsigned long)rv);
  failures += rv != CKR_OK;
  return rv == CKR_OK;
}

static CK_UTF8CHAR kSoPin[] = "11223344";
static CK_UTF8CHAR kUserPin[] = "123456";
static CK_BYTE kKeyId[] = {0x5A};

/* Caller and module agree on the layout of what they share: the strings
 * and numbers of CK_INFO and CK_TOKEN_INFO land where the header says. */
static void checkLayouts(CK_FUNCTION_LIST_PTR f, const CK_UTF8CHAR* label) {
  CK_INFO info;
  CK_TOKEN_INFO token;
  memset(&info, 0xEE, sizeof info);
  memset(&token, 0xEE, sizeof token);
  if (checkRv(f->C_GetInfo(&info), "C_GetInfo")) {
    check(info.cryptokiVersion.major == 2 && info.cryptokiVersion.minor == 40, "C_GetInfo version");
    check(info.flags == 0, "C_GetInfo flags");
    check(info.manufacturerID[31] == ' ' && info.libraryDescription[31] == ' ',
          "C_GetInfo's strings padded with blanks");
  }
  if (checkRv(f->C_GetTokenInfo(0, &token), "C_GetTokenInfo")) {
    check(memcmp(token.label, label, 32) == 0, "the token's label");
    check((token.flags & CKF_TOKEN_INITIALIZED) && (token.flags & CKF_USER_PIN_INITIALIZED),
          "the token's flags");
    check(
        token.ulMinPinLen >= 1 && token.ulMinPinLen <= token.ulMaxPinLen && token.ulMaxPinLen < 256,
        "the token's PIN lengths");
    check(token.utcTime[15] != 0xEE, "CK_TOKEN_INFO filled to its end");
  }
}

/* Formats the token, sets the user PIN and makes a key pair on it. */
static void prepareToken(CK_FUNCTION_LIST_PTR f, const CK_UTF8CHAR* label) {
  CK_SESSION_HANDLE s = 0;
  CK_MECHANISM gen = {CKM_RSA_PKCS_KEY_PAIR_GEN, NULL, 0};
  CK_ULONG bits = 1024;
  CK_BBOOL yes = CK_TRUE;
  CK_ATTRIBUTE pub[] = {{CKA_TOKEN, &yes, sizeof yes},
                        {CKA_MODULUS_BITS, &bits, sizeof bits},
                        {CKA_ID, kKeyId, sizeof kKeyId}};
  CK_ATTRIBUTE priv[] = {{CKA_TOKEN, &yes, sizeof yes}, {CKA_ID, kKeyId, sizeof kKeyId}};
  CK_OBJECT_HANDLE pubKey = 0, privKey = 0;
  if (!checkRv(f->C_InitToken(0, kSoPin, 8, (CK_UTF8CHAR_PTR)label), "C_InitToken") ||
      !checkRv(f->C_OpenSession(0, CKF_SERIAL_SESSION | CKF_RW_SESSION, NULL, NULL, &s),
               "C_OpenSession") ||
      !checkRv(f->C_Login(s, CKU_SO, kSoPin, 8), "C_Login (SO)") ||
      !checkRv(f->C_InitPIN(s, kUserPin, 6), "C_InitPIN") || !checkRv(f->C_Logout(s), "C_Logout") ||
      !checkRv(f->C_Login(s, CKU_USER, kUserPin, 6), "C_Login (user)"))
    return;
  checkRv(f->C_GenerateKeyPair(s, &gen, pub, 3, priv, 2, &pubKey, &privKey), "C_GenerateKeyPair");
  checkRv(f->C_CloseSession(s), "C_CloseSession");
}

/* The one object of this class and CKA_ID, or 0. */
static CK_OBJECT_HANDLE findKey(CK_FUNCTION_LIST_PTR f, CK_SESSION_HANDLE s, CK_OBJECT_CLASS cls) {
  CK_ATTRIBUTE tmpl[] = {{CKA_CLASS, &cls, sizeof cls}, {CKA_ID, kKeyId, sizeof kKeyId}};
  CK_OBJECT_HANDLE found[2] = {0, 0};
  CK_ULONG count = 0;
  if (!checkRv(f->C_FindObjectsInit(s, tmpl, 2), "C_FindObjectsInit")) return 0;
  checkRv(f->C_FindObjects(s, found, 2, &count), "C_FindObjects");
  checkRv(f->C_FindObjectsFinal(s), "C_FindObjectsFinal");
  return check(count == 1, "one key of the class and id") ? found[0] : 0;
}

/* Whether the signature recovers exactly the data under the public key's
 * modulus, through the library's software RSA. */
static int recovers(const CK_BYTE* modulus, const CK_BYTE* signature, CK_ULONG length,
                    const CK_BYTE* data, CK_ULONG dataLength) {
  HMODULE library = GetModuleHandleA("norv_dal_tkp30.dll");
  PublicDecryptFn decrypt = library ? (PublicDecryptFn)(void (*)(void))GetProcAddress(
                                          library, "NORV_DAL_Pkcs1RsaPublicKeyDec")
                                    : NULL;
  uint8_t recovered[128];
  int32_t recoveredLength = 0;
  if (!check(decrypt != NULL, "the library the module loaded, and its software RSA")) return 0;
  return length == 128 && decrypt(modulus, 128, signature, 128, recovered, &recoveredLength) == 0 &&
         (CK_ULONG)recoveredLength == dataLength && memcmp(recovered, data, dataLength) == 0;
}

static void signWithTheKey(CK_FUNCTION_LIST_PTR f) {
  CK_SESSION_HANDLE s = 0;
  CK_MECHANISM mechanism = {CKM_RSA_PKCS, NULL, 0};
  CK_BYTE data[] = "signed by a Windows application";
  CK_BYTE signature[128], modulus[128];
  CK_ULONG length = sizeof signature;
  CK_ATTRIBUTE modulusAttribute = {CKA_MODULUS, modulus, sizeof modulus};
  CK_OBJECT_HANDLE privateKey, publicKey;
  if (!checkRv(f->C_OpenSession(0, CKF_SERIAL_SESSION, NULL, NULL, &s), "C_OpenSession") ||
      !checkRv(f->C_Login(s, CKU_USER, kUserPin, 6), "C_Login"))
    return;
  privateKey = findKey(f, s, CKO_PRIVATE_KEY);
  publicKey = findKey(f, s, CKO_PUBLIC_KEY);
  if (!privateKey || !publicKey) return;
  if (!checkRv(f->C_GetAttributeValue(s, publicKey, &modulusAttribute, 1), "CKA_MODULUS") ||
      !check(modulusAttribute.ulValueLen == 128, "a 1024-bit modulus") ||
      !checkRv(f->C_SignInit(s, &mechanism, privateKey), "C_SignInit") ||
      !checkRv(f->C_Sign(s, data, sizeof data, signature, &length), "C_Sign"))
    return;
  check(recovers(modulus, signature, length, data, sizeof data), "the signature verifies");
  signature[7] ^= 1;
  check(!recovers(modulus, signature, length, data, sizeof data), "a spoilt signature does not");
  checkRv(f->C_CloseSession(s), "C_CloseSession");
}

/* TKP30_SLOTS naming a token image that does not exist yet. */
static int useFreshToken(const char* image) {
  static char setting[MAX_PATH + 32];
  DeleteFileA(image);
  snprintf(setting, sizeof setting, "TKP30_SLOTS=emu:%s", image);
  return _putenv(setting) == 0;
}

int main(int argc, char** argv) {
  CK_UTF8CHAR label[32];
  char path[MAX_PATH];
  HMODULE module;
  CK_C_GetFunctionList getFunctionList;
  CK_FUNCTION_LIST_PTR f = NULL;
  CK_ULONG interfaces = 0;
  CK_RV(__cdecl * getInterfaceList)(void*, CK_ULONG_PTR);
  if (argc != 3) {
    fprintf(stderr, "usage: pkcs11_sign_test <tkp30-pkcs11.dll> <token image>\n");
    return 2;
  }
  if (!check(useFreshToken(argv[2]), "TKP30_SLOTS set")) return 1;
  /* With the module's full path, its folder is searched for the DLLs it
   * imports. */
  if (!check(GetFullPathNameA(argv[1], sizeof path, path, NULL) - 1 < sizeof path - 1,
             "the module's full path"))
    return 1;
  module = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!check(module != NULL, "LoadLibraryEx of the module")) return 1;
  getFunctionList =
      (CK_C_GetFunctionList)(void (*)(void))GetProcAddress(module, "C_GetFunctionList");
  getInterfaceList = (CK_RV(__cdecl*)(void*, CK_ULONG_PTR))(void (*)(void))GetProcAddress(
      module, "C_GetInterfaceList");
  check(GetProcAddress(module, "C_GetInterface") != NULL, "C_GetInterface exported");
  if (!check(getFunctionList != NULL && getInterfaceList != NULL, "the exports, undecorated"))
    return 1;
  check(getInterfaceList(NULL, &interfaces) == CKR_OK && interfaces == 2, "two interfaces");
  if (!checkRv(getFunctionList(&f), "C_GetFunctionList") ||
      !checkRv(f->C_Initialize(NULL), "C_Initialize"))
    return 1;
  memset(label, ' ', sizeof label);
  memcpy(label, "windows", 7);
  prepareToken(f, label);
  checkLayouts(f, label);
  checkRv(f->C_Finalize(NULL), "C_Finalize");
  /* A fresh application's session on the token as left. */
  if (checkRv(f->C_Initialize(NULL), "C_Initialize again")) {
    signWithTheKey(f);
    checkRv(f->C_Finalize(NULL), "C_Finalize");
  }
  FreeLibrary(module);
  if (failures == 0) printf("PKCS #11 module: signed, and the signature verifies\n");
  return failures == 0 ? 0 : 1;
}

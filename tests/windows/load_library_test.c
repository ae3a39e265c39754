/* A caller that loads the DLL at run time: one GetProcAddress for
 * NORV_DAL_GetFunctionList, then everything through the table. Every entry
 * must be the exported function of its name, the entries of one routine
 * equal, and each calling convention right (a wrong one moves the stack).
 * Exits 0 when every check holds. */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "norv_dal_tkp30.h"

typedef int32_t(NORV_DAL_CALL *GetFunctionListFn)(NORV_DAL_FUNCTION_LIST *);

#define ENTRY_COUNT 69

/* The export behind each entry, in the table's order. */
static const char *const kNames[ENTRY_COUNT] = {
    "NORV_DAL_Initialize", "NORV_DAL_Finalize", "NORV_DAL_FormatDevice",
    "NORV_DAL_GetFreeSpace", "NORV_DAL_Login", "NORV_DAL_Logout", "NORV_DAL_IsLogin",
    "NORV_DAL_ChangePin", "NORV_DAL_UnlockPin", "NORV_DAL_CreateGlobalInfoFile",
    "NORV_DAL_ReadGlobalInfoFile", "NORV_DAL_WriteGlobalInfoFile",
    "NORV_DAL_CreateUsrDataFile", "NORV_DAL_ReadUsrDataFile", "NORV_DAL_WriteUsrDataFile",
    "NORV_DAL_DeleteUsrDataFile", "NORV_DAL_GenRsaKeyPair", "NORV_DAL_GetPublicKey",
    "NORV_DAL_ImportRsaKeyPair", "NORV_DAL_RsaPrivateKeyRaw", "NORV_DAL_RsaPublicKeyRaw",
    "NORV_DAL_Pkcs1RsaPublicKeyEnc", "NORV_DAL_Pkcs1RsaPublicKeyDec",
    "NORV_DAL_DesAcquireContext", "NORV_DAL_DesEncUpdate", "NORV_DAL_DesEncFinal",
    "NORV_DAL_DesReleaseCtx", "NORV_DAL_DesEncrypt", "NORV_DAL_DesDecUpdate",
    "NORV_DAL_DesDecFinal", "NORV_DAL_DesDecrypt", "NORV_DAL_DesMacUpdate",
    "NORV_DAL_DesMacFinal", "NORV_DAL_DesMac", "NORV_DAL_Rc2AcquireContext",
    "NORV_DAL_Rc2EncUpdate", "NORV_DAL_Rc2EncFinal", "NORV_DAL_Rc2ReleaseCtx",
    "NORV_DAL_Rc2Encrypt", "NORV_DAL_Rc2DecUpdate", "NORV_DAL_Rc2DecFinal",
    "NORV_DAL_Rc2Decrypt", "NORV_DAL_Rc2MacUpdate", "NORV_DAL_Rc2MacFinal", "NORV_DAL_Rc2Mac",
    "NORV_DAL_Rc4AcquireContext", "NORV_DAL_Rc4Update", "NORV_DAL_Rc4Final",
    "NORV_DAL_Rc4ReleaseCtx", "NORV_DAL_Rc4Encrypt", "NORV_DAL_SSF33AcquireContext",
    "NORV_DAL_SSF33EncUpdate", "NORV_DAL_SSF33EncFinal", "NORV_DAL_SSF33ReleaseCtx",
    "NORV_DAL_SSF33Encrypt", "NORV_DAL_SSF33DecUpdate", "NORV_DAL_SSF33DecFinal",
    "NORV_DAL_SSF33Decrypt", "NORV_DAL_SSF33MacUpdate", "NORV_DAL_SSF33MacFinal",
    "NORV_DAL_SSF33Mac", "NORV_DAL_GenRand", "NORV_DAL_GetErrMsg", "NORV_DAL_CreateMutex",
    "NORV_DAL_LockMutex", "NORV_DAL_UnLockMutex", "NORV_DAL_DestroyMutex",
    "_NORV_DAL_InitializeEx@4", "_NORV_DAL_FinalizeEx@4",
};

static int failures = 0;

static void check(int ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

static uintptr_t stackPointer(void) {
  uintptr_t sp;
  __asm__ volatile("movl %%esp, %0" : "=r"(sp) : : "memory");
  return sp;
}

/* The no-op through its entry: 0, and the stack where it was. */
static int noOpKeepsTheStack(int32_t(NORV_DAL_NOOP_CALL *fn)(int32_t), int32_t arg) {
  const uintptr_t before = stackPointer();
  const int32_t rv = fn(arg);
  const uintptr_t after = stackPointer();
  return rv == 0 && before == after;
}

static int errMsgKeepsTheStack(int32_t(NORV_DAL_CALL *fn)(int32_t, char *), char *msg) {
  const uintptr_t before = stackPointer();
  const int32_t rv = fn(NORV_DAL_ERR_OPEN_DEVICE, msg);
  const uintptr_t after = stackPointer();
  return rv == 0 && before == after;
}

int main(void) {
  HMODULE dll = LoadLibraryA("norv_dal_tkp30.dll");
  NORV_DAL_FUNCTION_LIST list;
  FARPROC entries[ENTRY_COUNT];
  GetFunctionListFn getFunctionList;
  NORV_DAL_MUTEX *mutex = NULL;
  char message[NORV_DAL_ERRMSG_SIZE];
  /* "打开设备错" in GBK. */
  static const char kOpenDeviceGbk[] = "\xB4\xF2\xBF\xAA\xC9\xE8\xB1\xB8\xB4\xED";
  int i;

  if (dll == NULL) {
    fprintf(stderr, "FAILED: LoadLibrary norv_dal_tkp30.dll (%lu)\n", GetLastError());
    return 1;
  }
  getFunctionList = (GetFunctionListFn)(void *)GetProcAddress(dll, "NORV_DAL_GetFunctionList");
  if (getFunctionList == NULL) {
    fprintf(stderr, "FAILED: no NORV_DAL_GetFunctionList\n");
    return 1;
  }
  check(sizeof list == ENTRY_COUNT * sizeof(void *), "69 pointers, nothing else");
  memset(&list, 0, sizeof list);
  check(getFunctionList(&list) == 0, "NORV_DAL_GetFunctionList returns 0");
  memcpy(entries, &list, sizeof entries);

  for (i = 0; i < ENTRY_COUNT; ++i) {
    const FARPROC exported = GetProcAddress(dll, kNames[i]);
    if (exported == NULL || entries[i] != exported) {
      fprintf(stderr, "FAILED: entry %d is not the export %s\n", i, kNames[i]);
      ++failures;
    }
  }
  check(entries[26] == entries[37] && entries[37] == entries[48], "one release routine");
  check(entries[46] == entries[49], "Rc4Update and Rc4Encrypt are one routine");
  check(entries[67] == entries[68], "InitializeEx and FinalizeEx are one routine");

  check(noOpKeepsTheStack(list.InitializeEx, 7), "InitializeEx is __stdcall and returns 0");
  check(noOpKeepsTheStack(list.FinalizeEx, -1), "FinalizeEx is __stdcall and returns 0");
  check(errMsgKeepsTheStack(list.GetErrMsg, message), "GetErrMsg is __cdecl and returns 0");
  check(strcmp(message, kOpenDeviceGbk) == 0, "the message of -101 through the table");

  check(list.CreateMutex(&mutex) == 0 && mutex != NULL, "CreateMutex through the table");
  check(list.LockMutex(mutex) == 0, "LockMutex");
  check(list.UnLockMutex(mutex) == 0, "UnLockMutex");
  check(list.DestroyMutex(mutex) == 0, "DestroyMutex");

  check(FreeLibrary(dll) != 0, "FreeLibrary");
  if (failures == 0) printf("function table: 69 entries, all checks passed\n");
  return failures == 0 ? 0 : 1;
}

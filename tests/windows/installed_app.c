/* A program built against the installed header and import library only,
 * run from a folder of its own: Windows finds the installed DLL through
 * the PATH the installer set. Prints the DLL's path; exits 0 when its
 * calls answer as they should. */
#include <windows.h>

#include <stdio.h>

#include "norv_dal_tkp30.h"

int main(void) {
  char where[MAX_PATH];
  char message[NORV_DAL_ERRMSG_SIZE] = "";
  NORV_DAL_FUNCTION_LIST list;
  HMODULE dll = GetModuleHandleA("norv_dal_tkp30.dll");
  if (dll == NULL || GetModuleFileNameA(dll, where, sizeof where) == 0) return 1;
  printf("%s\n", where);
  /* The session no-op, whose export name is decorated on 32-bit Windows:
   * the import library maps the header's name to it. */
  if (NORV_DAL_InitializeEx(0) != 0 || NORV_DAL_FinalizeEx(0) != 0) return 2;
  if (NORV_DAL_GetErrMsg(NORV_DAL_ERR_OPEN_DEVICE, message) != 0 || message[0] == '\0') return 3;
  if (NORV_DAL_GetFunctionList(&list) != 0 || list.GetErrMsg != NORV_DAL_GetErrMsg) return 4;
  return 0;
}

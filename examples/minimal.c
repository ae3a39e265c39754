/*
 * minimal.c - the smallest useful caller of the TKP30 library.
 *
 * Opens the token named by TKP30_SLOTS, tells whether the user PIN is
 * logged in and draws 16 random bytes from the token, under the library's
 * named lock as every program sharing a token must; any failure is shown
 * with its message. Build and run against an installed library:
 *   cc minimal.c $(pkg-config --cflags --libs norv_dal_tkp30) \
 *      -Wl,-rpath,$(pkg-config --variable=libdir norv_dal_tkp30) -o minimal
 *   TKP30_SLOTS=emu:token.img ./minimal
 */
#define _XOPEN_SOURCE 700 /* nl_langinfo */

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <stdio.h>
#include <string.h>

#include "norv_dal_tkp30.h"

/* The library's messages are GBK text: shown in the terminal's encoding
 * when it can show them, left out otherwise (the code still says it). */
static int report(const char *call, int32_t result) {
  char gbk[NORV_DAL_ERRMSG_SIZE];
  char text[4 * NORV_DAL_ERRMSG_SIZE] = "";
  char *in = gbk;
  char *out = text;
  size_t inLeft;
  size_t outLeft = sizeof text - 1;
  iconv_t cd = iconv_open(nl_langinfo(CODESET), "GBK");

  NORV_DAL_GetErrMsg(result, gbk);
  inLeft = strlen(gbk);
  if (cd != (iconv_t)-1) {
    if (iconv(cd, &in, &inLeft, &out, &outLeft) != 0) out = text;
    *out = '\0';
    iconv_close(cd);
  }
  fprintf(stderr, "%s failed%s%s (code %d)\n", call, *text ? ": " : "", text, (int)result);
  return 1;
}

/* One whole operation on the token. */
static int useToken(void) {
  int32_t loggedIn = 0;
  uint8_t random[16];
  int32_t rv;
  size_t i;

  /* Every token call opens the token itself; this only checks early. */
  rv = NORV_DAL_Initialize();
  if (rv != NORV_DAL_OK) return report("NORV_DAL_Initialize", rv);

  rv = NORV_DAL_IsLogin(NORV_DAL_LOGIN_USER, &loggedIn);
  if (rv != NORV_DAL_OK) return report("NORV_DAL_IsLogin", rv);
  printf("user PIN %s\n", loggedIn ? "logged in" : "not logged in");

  rv = NORV_DAL_GenRand((int32_t)sizeof random, random);
  if (rv != NORV_DAL_OK) return report("NORV_DAL_GenRand", rv);
  printf("random:");
  for (i = 0; i < sizeof random; ++i) printf(" %02x", random[i]);
  printf("\n");
  return 0;
}

int main(void) {
  NORV_DAL_MUTEX *lock = NULL;
  int32_t rv;
  int status;

  setlocale(LC_ALL, "");
  /* The library takes no lock itself. Programs that share a token hold
   * its machine-wide named lock around each whole operation, so that no
   * other program's commands come between a selection and its read, or
   * an SSF33 key load and its blocks. */
  rv = NORV_DAL_CreateMutex(&lock);
  if (rv != NORV_DAL_OK) return report("NORV_DAL_CreateMutex", rv);
  NORV_DAL_LockMutex(lock);
  status = useToken();
  NORV_DAL_UnLockMutex(lock);
  NORV_DAL_DestroyMutex(lock);
  return status;
}

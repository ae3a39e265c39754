/*
 * minimal.c - the smallest useful caller of the TKP30 library.
 *
 * Opens the token named by TKP30_SLOTS, tells whether the user PIN is
 * logged in, draws 16 random bytes from the token, and shows how any
 * result becomes a message. Build:
 *   cc minimal.c -lnorv_dal_tkp30 -o minimal
 */
#include <stdio.h>

#include "norv_dal_tkp30.h"

/* Messages are GBK text; a UTF-8 terminal needs them converted (iconv). */
static int report(const char *call, int32_t result) {
  char message[NORV_DAL_ERRMSG_SIZE];
  NORV_DAL_GetErrMsg(result, message);
  fprintf(stderr, "%s failed: %s (%d)\n", call, message, (int)result);
  return 1;
}

int main(void) {
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

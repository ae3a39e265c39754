/* Preloaded into a client of the PKCS #11 module: the process dies of
 * SIGKILL right after the module created an object file (type 3, indexes
 * 0x18C-0x1BF), before it could record the file in its directory. The
 * token's lock is given back first, so that the test sees what the crash
 * does to the token's files and not how the lock recovers from a dead
 * holder (tested on its own). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdint.h>
#include <unistd.h>

typedef struct NORV_DAL_MUTEX NORV_DAL_MUTEX;
typedef int32_t (*CreateFn)(int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*LockFn)(NORV_DAL_MUTEX *);

static NORV_DAL_MUTEX *held;

/* The library is loaded by the module, in the module's own scope, after
 * this shim: it is found by its name once it is there. */
static void *real(const char *name) {
  void *library = dlopen("libnorv_dal_tkp30.so.1", RTLD_NOW | RTLD_NOLOAD);
  return library != NULL ? dlsym(library, name) : NULL;
}

int32_t NORV_DAL_LockMutex(NORV_DAL_MUTEX *mutex) {
  LockFn lock = (LockFn)real("NORV_DAL_LockMutex");
  held = mutex;
  return lock(mutex);
}

int32_t NORV_DAL_CreateUsrDataFile(int32_t type, int32_t index, int32_t size, int32_t readRight,
                                   int32_t writeRight) {
  CreateFn create = (CreateFn)real("NORV_DAL_CreateUsrDataFile");
  LockFn unlock = (LockFn)real("NORV_DAL_UnLockMutex");
  int32_t rv = create(type, index, size, readRight, writeRight);
  if (rv == 0 && type == 3 && index >= 0x18C && index <= 0x1BF) {
    if (held != NULL) unlock(held);
    kill(getpid(), SIGKILL);
  }
  return rv;
}

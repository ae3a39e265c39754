/*
 * norv_dal_tkp30.h - device abstraction layer for the TKP30 USB token.
 *
 * Every function returns a signed 32-bit result: 0 for success, a negative
 * NORV_DAL_ERR_* code, the number of PIN tries left (1..14) from the PIN
 * calls, or a raw card status word from NORV_DAL_FormatDevice.
 * NORV_DAL_GetErrMsg turns any result into a GBK message.
 *
 * Sharing a token: the library takes no lock of its own, and most token
 * operations are several card commands that rely on the card's state
 * between them (a selection and the read after it, a challenge and the
 * command that uses it, an SSF33 key load and every block until the final
 * call). Callers that share a token, between threads or processes, MUST
 * serialise whole operations with the machine-wide named lock below:
 *
 *   NORV_DAL_MUTEX *lock;
 *   NORV_DAL_CreateMutex(&lock);          once
 *   NORV_DAL_LockMutex(lock);             around each whole operation;
 *   ... NORV_DAL_ReadUsrDataFile(...) ... an SSF33 stream from its acquire
 *   NORV_DAL_UnLockMutex(lock);           to its final call is one
 *   NORV_DAL_DestroyMutex(lock);          at the end
 *
 * Plain C: compiles as C99 and as C++.
 *
 * On 32-bit Windows every function is __cdecl except the two session
 * no-ops, which are __stdcall with one 32-bit argument and are exported
 * under their decorated names "_NORV_DAL_InitializeEx@4" and
 * "_NORV_DAL_FinalizeEx@4" (the import library resolves the names below to
 * them). An ELF linker reads '@' in a symbol name as a symbol version, so
 * on Linux the one routine is exported under the undecorated names
 * NORV_DAL_InitializeEx and NORV_DAL_FinalizeEx.
 *
 * Programs that link the library's objects statically rather than the
 * DLL define NORV_DAL_STATIC.
 */
#ifndef NORV_DAL_TKP30_H
#define NORV_DAL_TKP30_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(NORV_DAL_STATIC)
#define NORV_DAL_API
#else
#define NORV_DAL_API __declspec(dllimport)
#endif
#define NORV_DAL_CALL __cdecl
#define NORV_DAL_NOOP_CALL __stdcall
#elif defined(__GNUC__)
#define NORV_DAL_API __attribute__((visibility("default")))
#define NORV_DAL_CALL
#define NORV_DAL_NOOP_CALL
#else
#define NORV_DAL_API
#define NORV_DAL_CALL
#define NORV_DAL_NOOP_CALL
#endif

/* ---- Error codes ------------------------------------------------------ */
#define NORV_DAL_OK                       0
#define NORV_DAL_ERR_PARAM             (-500)
#define NORV_DAL_ERR_SYNC              (-191)
#define NORV_DAL_ERR_CREATE_SYNC       (-190)
#define NORV_DAL_ERR_GEN_RAND          (-180)
#define NORV_DAL_ERR_SSF33             (-165)
#define NORV_DAL_ERR_CIPHERTEXT        (-164)
#define NORV_DAL_ERR_CIPHER_MODE       (-163)
#define NORV_DAL_ERR_CREATE_SYM_KEY    (-162)
#define NORV_DAL_ERR_RSA               (-161)
#define NORV_DAL_ERR_DATA_LEN          (-160)
#define NORV_DAL_ERR_GEN_KEY_PAIR      (-151)
#define NORV_DAL_ERR_MODULUS_LEN       (-150)
#define NORV_DAL_ERR_DELETE_FILE       (-130)
#define NORV_DAL_ERR_FILE_DELETED      (-129)
#define NORV_DAL_ERR_READ_FILE         (-128)
#define NORV_DAL_ERR_WRITE_FILE        (-127)
#define NORV_DAL_ERR_WRITE_PIN         (-126)
#define NORV_DAL_ERR_WRITE_KEY_FILE    (-125)
#define NORV_DAL_ERR_CREATE_KEY_FILE   (-124)
#define NORV_DAL_ERR_CREATE_FILE       (-123)
#define NORV_DAL_ERR_WRITE             (-122)
#define NORV_DAL_ERR_CLEAR_FORMAT      (-120)
#define NORV_DAL_ERR_LOGOUT            (-115)
#define NORV_DAL_ERR_LOGIN             (-114)
#define NORV_DAL_ERR_CHANGE_PIN        (-113)
#define NORV_DAL_ERR_UNLOCK_PIN        (-112)
#define NORV_DAL_ERR_VERIFY_PIN        (-111)
#define NORV_DAL_ERR_UNLOCK_SUPER_PIN  (-110)
#define NORV_DAL_ERR_OTHER             (-105)
#define NORV_DAL_ERR_RESET_DEVICE      (-102)
#define NORV_DAL_ERR_OPEN_DEVICE       (-101)
#define NORV_DAL_ERR_NO_DEVICE         (-100)
#define NORV_DAL_ERR_NOT_SUPPORTED      (-10)
#define NORV_DAL_ERR_SUPER_PIN_LOCKED    (-2)
#define NORV_DAL_ERR_USER_PIN_LOCKED     (-1)

/* Login types. */
#define NORV_DAL_LOGIN_SUPER 1
#define NORV_DAL_LOGIN_USER  2

/* Cipher modes: 2 is CBC; ECB is 1 for the software block ciphers and
 * any value other than 2 for SSF33. encFlag 1 encrypts (SSF33 only). */
#define NORV_DAL_MODE_ECB 1
#define NORV_DAL_MODE_CBC 2

/* A buffer for NORV_DAL_GetErrMsg holds at least this many bytes. */
#define NORV_DAL_ERRMSG_SIZE 30

/* ---- Opaque types ----------------------------------------------------- */
typedef struct SSF33Ctx SSF33Ctx;
typedef struct DesCtx DesCtx;
typedef struct Rc2Ctx Rc2Ctx;
typedef struct Rc4Ctx Rc4Ctx;
typedef struct NORV_DAL_MUTEX NORV_DAL_MUTEX;

/* ---- Session (token open and close) ----------------------------------- */
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Initialize(void);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Finalize(void);
/* One no-op routine under two names: always 0, touches nothing. */
NORV_DAL_API int32_t NORV_DAL_NOOP_CALL NORV_DAL_InitializeEx(int32_t reserved);
NORV_DAL_API int32_t NORV_DAL_NOOP_CALL NORV_DAL_FinalizeEx(int32_t reserved);

/* ---- Messages, function table, lock ----------------------------------- */
/* The lock is one machine-wide binary semaphore, free when first created;
 * any holder of a handle may release it, and it is not re-entrant. See
 * the top of this file for the pattern every caller sharing a token
 * follows. */
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_GetErrMsg(int32_t code, char *msg);
struct NORV_DAL_FUNCTION_LIST;
NORV_DAL_API int32_t NORV_DAL_CALL
NORV_DAL_GetFunctionList(struct NORV_DAL_FUNCTION_LIST *pFunctionList);
/* The machine-wide lock "SemNorvDal": a binary semaphore without owner,
 * free when first created; any handle may release it, at once, whoever
 * took it. On Linux it also knows which process took it: a process that
 * ends holding it (killed, crashed, or exited without unlocking) has it
 * taken over by a waiter within a second, while other handles stay open,
 * and a holder that runs is never robbed, however long it holds it. So a
 * lock that one process takes for another to unlock is freed if the one
 * that took it ends first. Processes in different pid namespaces
 * (containers sharing /dev/shm) cannot see each other: a holder that ends
 * is taken over only by a waiter of its own namespace; otherwise its lock
 * stays taken until an unlock or until no handle is left. On Windows it is
 * the kernel semaphore of that name, which a holder's death leaves taken
 * until every handle is closed. Once no handle is left anywhere, the next
 * create finds it free. NORV_DAL_CreateMutex returns
 * NORV_DAL_ERR_CREATE_SYNC, with no handle, when the lock cannot be opened
 * for reading and writing. */
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_CreateMutex(NORV_DAL_MUTEX **ppMutex);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_LockMutex(NORV_DAL_MUTEX *pMutex);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_UnLockMutex(NORV_DAL_MUTEX *pMutex);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DestroyMutex(NORV_DAL_MUTEX *pMutex);

/* ---- PINs ------------------------------------------------------------- */
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Login(int32_t loginType,
                                                  const uint8_t *pin,
                                                  int32_t pinLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Logout(int32_t loginType);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_IsLogin(int32_t loginType,
                                                    int32_t *isLogin);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_ChangePin(int32_t loginType,
                                                      const uint8_t *oldPin,
                                                      int32_t oldPinLen,
                                                      const uint8_t *newPin,
                                                      int32_t newPinLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_UnlockPin(const uint8_t *superPin,
                                                      int32_t superPinLen,
                                                      const uint8_t *newUserPin,
                                                      int32_t newUserPinLen);

/* ---- Card file system ------------------------------------------------- */
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_FormatDevice(const uint8_t *superPin,
                                                         int32_t superPinLen,
                                                         const uint8_t *userPin,
                                                         int32_t userPinLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_GetFreeSpace(int32_t reserved);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_CreateGlobalInfoFile(int32_t size);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_ReadGlobalInfoFile(int32_t offset,
                                                               int32_t length,
                                                               uint8_t *data);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_WriteGlobalInfoFile(int32_t offset,
                                                                int32_t length,
                                                                const uint8_t *data);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_CreateUsrDataFile(int32_t fileType,
                                                              int32_t index,
                                                              int32_t size,
                                                              int32_t readAccess,
                                                              int32_t writeAccess);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_ReadUsrDataFile(int32_t fileType,
                                                            int32_t index,
                                                            int32_t offset,
                                                            int32_t length,
                                                            uint8_t *data);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_WriteUsrDataFile(int32_t fileType,
                                                             int32_t index,
                                                             int32_t offset,
                                                             int32_t length,
                                                             const uint8_t *data);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DeleteUsrDataFile(int32_t fileType,
                                                              int32_t index);

/* ---- RSA -------------------------------------------------------------- */
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_GenRsaKeyPair(int32_t modulusLen,
                                                          int32_t *pubKeyId,
                                                          int32_t *priKeyId);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_GetPublicKey(int32_t pubKeyId,
                                                         uint8_t *pubKey,
                                                         int32_t *pubKeyLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_ImportRsaKeyPair(
    int32_t reserved1, const uint8_t *modulus, int32_t reserved2,
    const uint8_t *prime1, const uint8_t *prime2, const uint8_t *exponent1,
    const uint8_t *exponent2, const uint8_t *coefficient, int32_t *pubKeyId,
    int32_t *priKeyId);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_RsaPrivateKeyRaw(int32_t priKeyId,
                                                             const uint8_t *inData,
                                                             int32_t inDataLen,
                                                             uint8_t *outData,
                                                             int32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_GenRand(int32_t randLen,
                                                    uint8_t *randData);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_RsaPublicKeyRaw(const uint8_t *n,
                                                            uint32_t nLen,
                                                            const uint8_t *inData,
                                                            int32_t inDataLen,
                                                            uint8_t *outData,
                                                            int32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Pkcs1RsaPublicKeyEnc(
    const uint8_t *n, uint32_t nLen, const uint8_t *inData, int32_t inDataLen,
    uint8_t *outData, int32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Pkcs1RsaPublicKeyDec(
    const uint8_t *n, uint32_t nLen, const uint8_t *inData, int32_t inDataLen,
    uint8_t *outData, int32_t *outDataLen);

/* ---- Cipher contexts ---------------------------------------------------
 * Every family has the same call shapes: acquire, update, final, one-shot,
 * MAC update, MAC final, one-shot MAC, release. mode 2 is CBC.
 * NORV_DAL_DesReleaseCtx, NORV_DAL_Rc2ReleaseCtx and NORV_DAL_Rc4ReleaseCtx
 * are three names of one routine that frees a DES, RC2 or RC4 context,
 * whatever its kind: hence their untyped parameter.
 *
 * One context, one call at a time. A call given anything but a live
 * context of its own family (another family's, a released one, foreign
 * memory) returns NORV_DAL_ERR_PARAM and touches nothing; a call (release
 * included) on a context that another thread's call is using returns
 * NORV_DAL_ERR_SYNC and touches nothing. A second release of a context is
 * refused with NORV_DAL_ERR_PARAM while its address has not been reused;
 * the library holds a released context's memory back for the next 64
 * releases, after which a new context may get the same address, so a
 * pointer must not be used once released. Different contexts are
 * independent; the SSF33 contexts share the token's one cipher state (see
 * the lock above). */

/* SSF33 on the token (key loaded by the acquire call). */
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_SSF33AcquireContext(const uint8_t *key, int32_t keyLen,
    const uint8_t *iv, int32_t mode, int32_t encFlag, SSF33Ctx **ppCtx);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_SSF33EncUpdate(SSF33Ctx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *outData, uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_SSF33EncFinal(SSF33Ctx *pCtx, uint8_t *outData,
    uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_SSF33Encrypt(SSF33Ctx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *outData, uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_SSF33DecUpdate(SSF33Ctx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *outData, uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_SSF33DecFinal(SSF33Ctx *pCtx, uint8_t *outData,
    uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_SSF33Decrypt(SSF33Ctx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *outData, uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_SSF33MacUpdate(SSF33Ctx *pCtx, const uint8_t *inData,
    uint32_t inDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_SSF33MacFinal(SSF33Ctx *pCtx, uint8_t *mac, uint32_t macLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_SSF33Mac(SSF33Ctx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *mac, uint32_t macLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_SSF33ReleaseCtx(SSF33Ctx *pCtx);

/* DES (8-byte key), two-key (16) and three-key (24) triple DES. */
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DesAcquireContext(const uint8_t *key, int32_t keyLen,
    const uint8_t *iv, int32_t mode, int32_t encFlag, DesCtx **ppCtx);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DesEncUpdate(DesCtx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *outData, uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DesEncFinal(DesCtx *pCtx, uint8_t *outData,
    uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DesEncrypt(DesCtx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *outData, uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DesDecUpdate(DesCtx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *outData, uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DesDecFinal(DesCtx *pCtx, uint8_t *outData,
    uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DesDecrypt(DesCtx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *outData, uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DesMacUpdate(DesCtx *pCtx, const uint8_t *inData,
    uint32_t inDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DesMacFinal(DesCtx *pCtx, uint8_t *mac, uint32_t macLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DesMac(DesCtx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *mac, uint32_t macLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_DesReleaseCtx(void *pCtx);

/* RC2, effective key length 8 * keyLen bits. */
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc2AcquireContext(const uint8_t *key, int32_t keyLen,
    const uint8_t *iv, int32_t mode, int32_t encFlag, Rc2Ctx **ppCtx);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc2EncUpdate(Rc2Ctx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *outData, uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc2EncFinal(Rc2Ctx *pCtx, uint8_t *outData,
    uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc2Encrypt(Rc2Ctx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *outData, uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc2DecUpdate(Rc2Ctx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *outData, uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc2DecFinal(Rc2Ctx *pCtx, uint8_t *outData,
    uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc2Decrypt(Rc2Ctx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *outData, uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc2MacUpdate(Rc2Ctx *pCtx, const uint8_t *inData,
    uint32_t inDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc2MacFinal(Rc2Ctx *pCtx, uint8_t *mac, uint32_t macLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc2Mac(Rc2Ctx *pCtx, const uint8_t *inData,
    uint32_t inDataLen, uint8_t *mac, uint32_t macLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc2ReleaseCtx(void *pCtx);

/* RC4: encryption and decryption are the same call. */
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc4AcquireContext(
    const uint8_t *key, int32_t keyLen, const uint8_t *iv, int32_t mode,
    int32_t encFlag, Rc4Ctx **ppCtx);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc4Update(Rc4Ctx *pCtx,
                                                      const uint8_t *inData,
                                                      uint32_t inDataLen,
                                                      uint8_t *outData,
                                                      uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc4Final(Rc4Ctx *pCtx,
                                                     uint8_t *outData,
                                                     uint32_t *outDataLen);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc4ReleaseCtx(void *pCtx);
NORV_DAL_API int32_t NORV_DAL_CALL NORV_DAL_Rc4Encrypt(Rc4Ctx *pCtx,
                                                       const uint8_t *inData,
                                                       uint32_t inDataLen,
                                                       uint8_t *outData,
                                                       uint32_t *outDataLen);

/* ---- Function table: 69 entries in this exact order -------------------- */
typedef struct NORV_DAL_FUNCTION_LIST {
  int32_t (NORV_DAL_CALL *Initialize)(void);
  int32_t (NORV_DAL_CALL *Finalize)(void);
  int32_t (NORV_DAL_CALL *FormatDevice)(const uint8_t *, int32_t, const uint8_t *, int32_t);
  int32_t (NORV_DAL_CALL *GetFreeSpace)(int32_t);
  int32_t (NORV_DAL_CALL *Login)(int32_t, const uint8_t *, int32_t);
  int32_t (NORV_DAL_CALL *Logout)(int32_t);
  int32_t (NORV_DAL_CALL *IsLogin)(int32_t, int32_t *);
  int32_t (NORV_DAL_CALL *ChangePin)(int32_t, const uint8_t *, int32_t, const uint8_t *, int32_t);
  int32_t (NORV_DAL_CALL *UnlockPin)(const uint8_t *, int32_t, const uint8_t *, int32_t);
  int32_t (NORV_DAL_CALL *CreateGlobalInfoFile)(int32_t);
  int32_t (NORV_DAL_CALL *ReadGlobalInfoFile)(int32_t, int32_t, uint8_t *);
  int32_t (NORV_DAL_CALL *WriteGlobalInfoFile)(int32_t, int32_t, const uint8_t *);
  int32_t (NORV_DAL_CALL *CreateUsrDataFile)(int32_t, int32_t, int32_t, int32_t, int32_t);
  int32_t (NORV_DAL_CALL *ReadUsrDataFile)(int32_t, int32_t, int32_t, int32_t, uint8_t *);
  int32_t (NORV_DAL_CALL *WriteUsrDataFile)(int32_t, int32_t, int32_t, int32_t, const uint8_t *);
  int32_t (NORV_DAL_CALL *DeleteUsrDataFile)(int32_t, int32_t);
  int32_t (NORV_DAL_CALL *GenRsaKeyPair)(int32_t, int32_t *, int32_t *);
  int32_t (NORV_DAL_CALL *GetPublicKey)(int32_t, uint8_t *, int32_t *);
  int32_t (NORV_DAL_CALL *ImportRsaKeyPair)(int32_t, const uint8_t *, int32_t, const uint8_t *,
                                            const uint8_t *, const uint8_t *, const uint8_t *,
                                            const uint8_t *, int32_t *, int32_t *);
  int32_t (NORV_DAL_CALL *RsaPrivateKeyRaw)(int32_t, const uint8_t *, int32_t, uint8_t *, int32_t *);
  int32_t (NORV_DAL_CALL *RsaPublicKeyRaw)(const uint8_t *, uint32_t, const uint8_t *, int32_t,
                                           uint8_t *, int32_t *);
  int32_t (NORV_DAL_CALL *Pkcs1RsaPublicKeyEnc)(const uint8_t *, uint32_t, const uint8_t *, int32_t,
                                                uint8_t *, int32_t *);
  int32_t (NORV_DAL_CALL *Pkcs1RsaPublicKeyDec)(const uint8_t *, uint32_t, const uint8_t *, int32_t,
                                                uint8_t *, int32_t *);
  int32_t (NORV_DAL_CALL *DesAcquireContext)(const uint8_t *, int32_t, const uint8_t *, int32_t,
                                             int32_t, DesCtx **);
  int32_t (NORV_DAL_CALL *DesEncUpdate)(DesCtx *, const uint8_t *, uint32_t, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *DesEncFinal)(DesCtx *, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *DesReleaseCtx)(void *);
  int32_t (NORV_DAL_CALL *DesEncrypt)(DesCtx *, const uint8_t *, uint32_t, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *DesDecUpdate)(DesCtx *, const uint8_t *, uint32_t, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *DesDecFinal)(DesCtx *, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *DesDecrypt)(DesCtx *, const uint8_t *, uint32_t, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *DesMacUpdate)(DesCtx *, const uint8_t *, uint32_t);
  int32_t (NORV_DAL_CALL *DesMacFinal)(DesCtx *, uint8_t *, uint32_t);
  int32_t (NORV_DAL_CALL *DesMac)(DesCtx *, const uint8_t *, uint32_t, uint8_t *, uint32_t);
  int32_t (NORV_DAL_CALL *Rc2AcquireContext)(const uint8_t *, int32_t, const uint8_t *, int32_t,
                                             int32_t, Rc2Ctx **);
  int32_t (NORV_DAL_CALL *Rc2EncUpdate)(Rc2Ctx *, const uint8_t *, uint32_t, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *Rc2EncFinal)(Rc2Ctx *, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *Rc2ReleaseCtx)(void *);
  int32_t (NORV_DAL_CALL *Rc2Encrypt)(Rc2Ctx *, const uint8_t *, uint32_t, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *Rc2DecUpdate)(Rc2Ctx *, const uint8_t *, uint32_t, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *Rc2DecFinal)(Rc2Ctx *, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *Rc2Decrypt)(Rc2Ctx *, const uint8_t *, uint32_t, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *Rc2MacUpdate)(Rc2Ctx *, const uint8_t *, uint32_t);
  int32_t (NORV_DAL_CALL *Rc2MacFinal)(Rc2Ctx *, uint8_t *, uint32_t);
  int32_t (NORV_DAL_CALL *Rc2Mac)(Rc2Ctx *, const uint8_t *, uint32_t, uint8_t *, uint32_t);
  int32_t (NORV_DAL_CALL *Rc4AcquireContext)(const uint8_t *, int32_t, const uint8_t *, int32_t,
                                             int32_t, Rc4Ctx **);
  int32_t (NORV_DAL_CALL *Rc4Update)(Rc4Ctx *, const uint8_t *, uint32_t, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *Rc4Final)(Rc4Ctx *, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *Rc4ReleaseCtx)(void *);
  int32_t (NORV_DAL_CALL *Rc4Encrypt)(Rc4Ctx *, const uint8_t *, uint32_t, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *SSF33AcquireContext)(const uint8_t *, int32_t, const uint8_t *, int32_t,
                                               int32_t, SSF33Ctx **);
  int32_t (NORV_DAL_CALL *SSF33EncUpdate)(SSF33Ctx *, const uint8_t *, uint32_t, uint8_t *,
                                          uint32_t *);
  int32_t (NORV_DAL_CALL *SSF33EncFinal)(SSF33Ctx *, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *SSF33ReleaseCtx)(SSF33Ctx *);
  int32_t (NORV_DAL_CALL *SSF33Encrypt)(SSF33Ctx *, const uint8_t *, uint32_t, uint8_t *,
                                        uint32_t *);
  int32_t (NORV_DAL_CALL *SSF33DecUpdate)(SSF33Ctx *, const uint8_t *, uint32_t, uint8_t *,
                                          uint32_t *);
  int32_t (NORV_DAL_CALL *SSF33DecFinal)(SSF33Ctx *, uint8_t *, uint32_t *);
  int32_t (NORV_DAL_CALL *SSF33Decrypt)(SSF33Ctx *, const uint8_t *, uint32_t, uint8_t *,
                                        uint32_t *);
  int32_t (NORV_DAL_CALL *SSF33MacUpdate)(SSF33Ctx *, const uint8_t *, uint32_t);
  int32_t (NORV_DAL_CALL *SSF33MacFinal)(SSF33Ctx *, uint8_t *, uint32_t);
  int32_t (NORV_DAL_CALL *SSF33Mac)(SSF33Ctx *, const uint8_t *, uint32_t, uint8_t *, uint32_t);
  int32_t (NORV_DAL_CALL *GenRand)(int32_t, uint8_t *);
  int32_t (NORV_DAL_CALL *GetErrMsg)(int32_t, char *);
  int32_t (NORV_DAL_CALL *CreateMutex)(NORV_DAL_MUTEX **);
  int32_t (NORV_DAL_CALL *LockMutex)(NORV_DAL_MUTEX *);
  int32_t (NORV_DAL_CALL *UnLockMutex)(NORV_DAL_MUTEX *);
  int32_t (NORV_DAL_CALL *DestroyMutex)(NORV_DAL_MUTEX *);
  int32_t (NORV_DAL_NOOP_CALL *InitializeEx)(int32_t);
  int32_t (NORV_DAL_NOOP_CALL *FinalizeEx)(int32_t);
} NORV_DAL_FUNCTION_LIST;

#ifdef __cplusplus
}
#endif

#endif /* NORV_DAL_TKP30_H */

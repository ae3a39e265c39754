#include "module/module.h"

#include "module/process.h"

namespace p11 {
namespace {

std::mutex g_mutex;
Module* g_module = nullptr;
unsigned long g_owner = 0;  // the process that initialised g_module

// A fork never copies the mutex held by another thread: the child starts
// with it free and the module as the parent left it between two calls.
void lockForFork() { g_mutex.lock(); }
void unlockAfterFork() { g_mutex.unlock(); }

CK_RV checkArguments(CK_VOID_PTR args) {
  if (args == nullptr) return CKR_OK;
  const auto* a = static_cast<const CK_C_INITIALIZE_ARGS*>(args);
  if (a->pReserved != nullptr) return CKR_ARGUMENTS_BAD;
  const int callbacks = (a->CreateMutex != nullptr) + (a->DestroyMutex != nullptr) +
                        (a->LockMutex != nullptr) + (a->UnlockMutex != nullptr);
  if (callbacks != 0 && callbacks != 4) return CKR_ARGUMENTS_BAD;
  // The module locks with the operating system's primitives only.
  if (callbacks == 4 && (a->flags & CKF_OS_LOCKING_OK) == 0) return CKR_CANT_LOCK;
  return CKR_OK;
}

}  // namespace

std::mutex& moduleMutex() { return g_mutex; }

Module* liveModule() { return g_owner == currentProcess() ? g_module : nullptr; }

CK_RV initializeModule(CK_VOID_PTR args) {
  if (const CK_RV rv = checkArguments(args); rv != CKR_OK) return rv;
  static const bool forksGuarded = guardForks(lockForFork, unlockAfterFork);
  if (!forksGuarded) return CKR_CANT_LOCK;
  std::lock_guard guard(g_mutex);
  if (liveModule() != nullptr) return CKR_CRYPTOKI_ALREADY_INITIALIZED;
  // A forked child that inherited its parent's module starts afresh. The
  // token lock's handle is left alone: it is the parent's as well.
  delete g_module;
  g_module = nullptr;
  NORV_DAL_MUTEX* tokenMutex = nullptr;
  if (NORV_DAL_CreateMutex(&tokenMutex) != NORV_DAL_OK || tokenMutex == nullptr)
    return CKR_CANT_LOCK;
  g_module = new Module(tokenMutex);
  g_owner = currentProcess();
  return CKR_OK;
}

CK_RV finalizeModule(CK_VOID_PTR reserved) {
  if (reserved != nullptr) return CKR_ARGUMENTS_BAD;
  std::lock_guard guard(g_mutex);
  Module* module = liveModule();
  if (module == nullptr) return CKR_CRYPTOKI_NOT_INITIALIZED;
  NORV_DAL_MUTEX* tokenMutex = module->tokenMutex();
  if (module->login.state() != Login::State::None) {
    TokenLock lock(tokenMutex);
    module->login.logOut(lock);
  }
  delete module;
  g_module = nullptr;
  NORV_DAL_DestroyMutex(tokenMutex);
  return CKR_OK;
}

// Within one formatting the label and serial never change and the user
// PIN, once set, stays set; and the module writes the first copy last. So
// a first copy that says the PIN is set is the record, and the second copy
// need not be read.
CK_RV Module::readRecord(const TokenLock& lock, TokenRecord& record, bool* found) {
  CK_RV rv = CKR_OK;
  std::optional<TokenRecord> decoded;
  if (const auto first = firstCopyRecord(lock, kTokenRecordFile, rv))
    decoded = decodeTokenRecord(*first);
  if (rv != CKR_OK) return rv;
  if (!decoded || !decoded->userPinSet) {
    if (const CK_RV loaded = loadTwin(lock, kTokenRecordFile, recordState_); loaded != CKR_OK)
      return loaded;
    decoded = recordState_.newest >= 0 ? decodeTokenRecord(recordState_.payload) : std::nullopt;
  }
  if (found != nullptr) *found = decoded.has_value();
  record = decoded.value_or(defaultTokenRecord());
  pinSetSeen_ = decoded && decoded->userPinSet;
  return CKR_OK;
}

CK_RV Module::userPinSet(const TokenLock& lock, bool& set) {
  if (!pinSetSeen_) {
    TokenRecord record;
    if (const CK_RV rv = readRecord(lock, record); rv != CKR_OK) return rv;
    // A token without the module's record is taken to have its PIN set.
    set = record.userPinSet;
    return CKR_OK;
  }
  set = true;
  return CKR_OK;
}

// The copy to replace is the one the token holds now. The first copy is
// written last, so that it alone tells the newest record (readRecord).
CK_RV Module::writeRecord(const TokenLock& lock, const TokenRecord& record) {
  if (const CK_RV rv = loadTwin(lock, kTokenRecordFile, recordState_); rv != CKR_OK) return rv;
  const Bytes payload = encodeTokenRecord(record);
  CK_RV rv = storeTwin(lock, kTokenRecordFile, recordState_, payload);
  if (rv == CKR_OK && recordState_.newest == 1)
    rv = storeTwin(lock, kTokenRecordFile, recordState_, payload);
  pinSetSeen_ = rv == CKR_OK && record.userPinSet;
  return rv;
}

void Module::forgetToken() {
  recordState_ = TwinState{};
  pinSetSeen_ = false;
  objects.forgetAll();
  login.forget();
}

const Object* Module::lookUp(CK_OBJECT_HANDLE handle, bool anyone) {
  const bool privateToo = anyone || login.user();
  if (const Object* object = objects.find(handle, privateToo)) return object;
  if (handle == CK_INVALID_HANDLE || objects.find(handle, true) != nullptr) return nullptr;
  TokenLock lock(tokenMutex_);
  if (objects.refresh(lock) != CKR_OK) return nullptr;
  return objects.find(handle, privateToo);
}

void Module::endLogin(const TokenLock& lock) {
  login.logOut(lock);
  objects.forgetPrivate();
  sessions.forEach([](Session& s) {
    s.sign.reset();
    s.decrypt.reset();
  });
}

}  // namespace p11

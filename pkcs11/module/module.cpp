#include "module/module.h"

#include <pthread.h>
#include <unistd.h>

namespace p11 {
namespace {

std::mutex g_mutex;
Module* g_module = nullptr;
pid_t g_owner = 0;  // the process that initialised g_module

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

Module* liveModule() { return g_owner == ::getpid() ? g_module : nullptr; }

CK_RV initializeModule(CK_VOID_PTR args) {
  if (const CK_RV rv = checkArguments(args); rv != CKR_OK) return rv;
  static const int forkHandlers = pthread_atfork(lockForFork, unlockAfterFork, unlockAfterFork);
  if (forkHandlers != 0) return CKR_CANT_LOCK;
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
  g_owner = ::getpid();
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

CK_RV Module::readRecord(const TokenLock& lock, TokenRecord& record) {
  if (const CK_RV rv = loadTwin(lock, kTokenRecordFile, recordState_); rv != CKR_OK) return rv;
  const auto decoded =
      recordState_.newest >= 0 ? decodeTokenRecord(recordState_.payload) : std::nullopt;
  record = decoded.value_or(defaultTokenRecord());
  return CKR_OK;
}

CK_RV Module::writeRecord(const TokenLock& lock, const TokenRecord& record) {
  // The copy to replace is the one the token holds now.
  if (const CK_RV rv = loadTwin(lock, kTokenRecordFile, recordState_); rv != CKR_OK) return rv;
  return storeTwin(lock, kTokenRecordFile, recordState_, encodeTokenRecord(record));
}

void Module::forgetToken() {
  recordState_ = TwinState{};
  objects.forgetAll();
  login.forget();
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

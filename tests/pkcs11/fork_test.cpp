// Forked children of an application: each starts without its parent's
// module and uses the token beside it, and a writer killed at any moment
// loses nothing it had written before.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <random>

#include "key_fixture.h"
#include "objects/object_templates.h"
#include "records/directory.h"
#include "records_fixture.h"
#include "store/object_store.h"

namespace p11test {
namespace {

using namespace p11;

TEST_F(ModuleTest, AForkedChildStartsAfresh) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CK_INFO info{};
    const bool fresh = c::GetInfo(&info) == CKR_CRYPTOKI_NOT_INITIALIZED;
    const bool ok = fresh && c::Initialize(nullptr) == CKR_OK && c::GetInfo(&info) == CKR_OK &&
                    c::Finalize(nullptr) == CKR_OK;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  CK_INFO info{};
  EXPECT_EQ(c::GetInfo(&info), CKR_OK);  // the parent's module is untouched
}

TEST_F(KeyTest, TwoProcessesSignAtOnce) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CK_SESSION_HANDLE s = 0;
    const bool ok = c::Initialize(nullptr) == CKR_OK &&
                    c::OpenSession(0, CKF_SERIAL_SESSION, nullptr, nullptr, &s) == CKR_OK &&
                    c::Login(s, CKU_USER, pinPtr(kUserPin), kUserPin.size()) == CKR_OK &&
                    signManyTimes(s, 20);
    _exit(ok ? 0 : 1);
  }
  EXPECT_TRUE(signManyTimes(s_, 20));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Labels long enough that a directory write takes several card commands.
Bytes labelNumber(int n) {
  std::string text = "label " + std::to_string(n) + " ";
  text.resize(kMaxKeyLabel, '.');
  return Bytes(text.begin(), text.end());
}

int numberOfLabel(const Bytes& label) {
  const std::string text(label.begin(), label.end());
  return text.rfind("label ", 0) == 0 ? std::stoi(text.substr(6)) : -1;
}

// Relabels the key of slot 0 for ever, reporting each label written.
[[noreturn]] void relabelForEver(int first, int reportFd) {
  Login login;
  TokenLock lock(nullptr);
  ObjectStore store;
  if (login.logIn(lock, Role::User, Bytes(kUserPin.begin(), kUserPin.end())) != CKR_OK ||
      store.refresh(lock) != CKR_OK)
    _exit(2);
  for (int n = first;; ++n) {
    const Object* key = store.find(privateKeyHandle(0), true);
    if (key == nullptr) _exit(3);
    const CK_RV rv = store.setLabelAndId(lock, login, *key, labelNumber(n), labelNumber(n));
    if (rv != CKR_OK) {
      fprintf(stderr, "rv %lx at %d\n", rv, n);
      _exit(3);
    }
    if (write(reportFd, &n, sizeof n) != sizeof n) _exit(4);
  }
}

TEST_F(TokenRecords, KilledWritersNeverLoseTheDirectory) {
  std::int32_t pub = 0;
  std::int32_t priv = 0;
  ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &priv), 0);
  std::mt19937 random(15);
  int committed = -1;  // the label number the token is known to hold
  for (int round = 0; round < 25; ++round) {
    NORV_DAL_Finalize();  // the writer opens the token afresh
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) relabelForEver(committed + 1, fds[1]);
    close(fds[1]);
    usleep(std::uniform_int_distribution<useconds_t>(0, 40000)(random));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own, status " << status;
    int reported = committed;
    for (int n = 0; read(fds[0], &n, sizeof n) == sizeof n;) reported = n;
    close(fds[0]);

    Login login;
    ObjectStore store;
    ASSERT_EQ(login.logIn(lock_, Role::User, Bytes(kUserPin.begin(), kUserPin.end())), CKR_OK);
    ASSERT_EQ(store.refresh(lock_), CKR_OK);
    const Object* key = store.find(privateKeyHandle(0), true);
    ASSERT_NE(key, nullptr);
    const int found = numberOfLabel(*key->attributes.find(CKA_LABEL));
    // The write in flight may have completed before the kill.
    ASSERT_TRUE(found == reported || found == reported + 1)
        << "round " << round << ": label " << found << " after " << reported << " was reported";
    committed = found;
  }
}

}  // namespace
}  // namespace p11test

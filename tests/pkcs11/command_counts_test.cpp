// What the module sends the token: each thing read once, and read again
// only when another program may have changed it. Commands are counted in
// the device library's trace; another program's changes are made through
// the library (as the tool makes them) or by a second module instance in
// a child process.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "module_fixture.h"
#include "norv_dal_tkp30.h"

namespace p11test {
namespace {

CK_OBJECT_CLASS kPrivateClass = CKO_PRIVATE_KEY;

Bytes classBytes(CK_OBJECT_CLASS value) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
  return Bytes(p, p + sizeof value);
}

class CountTest : public ModuleTest {
 protected:
  // A formatted token with one key pair, a certificate and a data object,
  // left by one module instance for the next.
  void SetUp() override {
    ModuleTest::SetUp();
    initToken();
    const CK_SESSION_HANDLE s = openSession();
    login(s);
    generateKeyPair(s);
    CK_OBJECT_HANDLE made = 0;
    ASSERT_EQ(createData(s, "notes", {1, 2, 3}, false, made), CKR_OK);
    ASSERT_EQ(createCertificate(s, made), CKR_OK);
    ASSERT_EQ(c::Finalize(nullptr), CKR_OK);
    trace_ = dir_ + "/trace.txt";
    ::setenv("TKP30_TRACE", trace_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("TKP30_TRACE");
    ModuleTest::TearDown();
  }

  // Commands sent since the last call.
  int commands() {
    std::ifstream in(trace_);
    int count = 0;
    for (std::string line; std::getline(in, line);)
      if (line.find(" > ") != std::string::npos) ++count;
    const int since = count - seen_;
    seen_ = count;
    return since;
  }

  std::vector<CK_OBJECT_HANDLE> privateKeys(CK_SESSION_HANDLE s) {
    return find(s, {{CKA_CLASS, &kPrivateClass, sizeof kPrivateClass}});
  }

  std::string trace_;
  int seen_ = 0;
};

// What ssh, git and curl do each time they start: at most 15 commands to
// the first signature, one for each one after.
TEST_F(CountTest, AFreshModuleSignsAfterAFewCommands) {
  ASSERT_EQ(c::Initialize(nullptr), CKR_OK);
  CK_SLOT_ID slot = 0;
  CK_ULONG count = 1;
  ASSERT_EQ(c::GetSlotList(CK_TRUE, &slot, &count), CKR_OK);
  CK_TOKEN_INFO info{};
  ASSERT_EQ(c::GetTokenInfo(0, &info), CKR_OK);
  const int listing = commands();
  EXPECT_LE(listing, 6) << "C_GetTokenInfo, all a token listing does";
  const CK_SESSION_HANDLE s = openSession(false);
  login(s);
  const std::vector<CK_OBJECT_HANDLE> everything = find(s);
  EXPECT_EQ(everything.size(), 4u);
  int total = listing + commands();
  CK_OBJECT_HANDLE key = 0;
  for (const CK_OBJECT_HANDLE h : everything)
    if (attribute(s, h, CKA_CLASS) == classBytes(CKO_PRIVATE_KEY)) key = h;
  commands();  // what an application reads of the objects is its own choice
  Bytes signature;
  ASSERT_EQ(sign(s, key, {CKM_SHA256_RSA_PKCS, nullptr, 0}, {'m'}, signature), CKR_OK);
  total += commands();
  EXPECT_LE(total, 15);
  ASSERT_EQ(sign(s, key, {CKM_SHA256_RSA_PKCS, nullptr, 0}, {'n'}, signature), CKR_OK);
  EXPECT_EQ(commands(), 1);
}

TEST_F(CountTest, NothingIsReadTwiceUnlessItMayHaveChanged) {
  ASSERT_EQ(c::Initialize(nullptr), CKR_OK);
  const CK_SESSION_HANDLE s = openSession();
  login(s);
  const std::vector<CK_OBJECT_HANDLE> all = find(s);
  for (const CK_OBJECT_HANDLE h : all) attribute(s, h, CKA_LABEL);
  commands();
  for (const CK_OBJECT_HANDLE h : all) attribute(s, h, CKA_VALUE);
  EXPECT_EQ(commands(), 0) << "attributes of objects read before";
  EXPECT_EQ(find(s).size(), 4u);
  // The directory's spare copy and the first empty key slot.
  EXPECT_LE(commands(), 5);
}

// Another program's key pair (as `tkp30 keygen` makes one), another module
// instance's object and its setting of the user PIN are seen at once.
TEST_F(CountTest, ChangesByOtherProgramsAreSeenByTheNextCall) {
  ASSERT_EQ(c::Initialize(nullptr), CKR_OK);
  CK_SESSION_HANDLE s = openSession();
  login(s);
  ASSERT_EQ(privateKeys(s).size(), 1u);
  std::int32_t pub = 0;
  std::int32_t priv = 0;
  ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &priv), 0);
  EXPECT_EQ(privateKeys(s).size(), 2u);

  const std::size_t before = find(s).size();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {  // another application, with its own module
    CK_OBJECT_HANDLE made = 0;
    _exit(c::Initialize(nullptr) == CKR_OK && (s = openSession(), true) &&
                  c::Login(s, CKU_USER, pinPtr(kUserPin), kUserPin.size()) == CKR_OK &&
                  createData(s, "theirs", {9}, false, made) == CKR_OK
              ? 0
              : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::string label = "theirs";
  EXPECT_EQ(find(s).size(), before + 1);
  EXPECT_EQ(find(s, {{CKA_LABEL, label.data(), label.size()}}).size(), 1u);
}

TEST_F(CountTest, AUserPinSetElsewhereIsSeenAtTheNextLogin) {
  CK_UTF8CHAR label[32];
  std::fill(std::begin(label), std::end(label), ' ');
  ASSERT_EQ(c::Initialize(nullptr), CKR_OK);
  ASSERT_EQ(c::InitToken(0, pinPtr(kSoPin), kSoPin.size(), label), CKR_OK);
  const CK_SESSION_HANDLE s = openSession();
  EXPECT_EQ(c::Login(s, CKU_USER, pinPtr(kUserPin), kUserPin.size()),
            CKR_USER_PIN_NOT_INITIALIZED);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CK_SESSION_HANDLE so = 0;
    _exit(c::Initialize(nullptr) == CKR_OK &&
                  c::OpenSession(0, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &so) ==
                      CKR_OK &&
                  c::Login(so, CKU_SO, pinPtr(kSoPin), kSoPin.size()) == CKR_OK &&
                  c::InitPIN(so, pinPtr(kUserPin), kUserPin.size()) == CKR_OK
              ? 0
              : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(c::Login(s, CKU_USER, pinPtr(kUserPin), kUserPin.size()), CKR_OK);
}

}  // namespace
}  // namespace p11test

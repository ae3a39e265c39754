// The application's login against the token's one security state, PINs
// and C_Initialize's arguments (fork_test.cpp: a forked child).
#include "module_fixture.h"
#include "norv_dal_tkp30.h"

namespace p11test {
namespace {

CK_FLAGS tokenFlags() {
  CK_TOKEN_INFO info{};
  EXPECT_EQ(c::GetTokenInfo(0, &info), CKR_OK);
  return info.flags;
}

CK_STATE stateOf(CK_SESSION_HANDLE s) {
  CK_SESSION_INFO info{};
  EXPECT_EQ(c::GetSessionInfo(s, &info), CKR_OK);
  return info.state;
}

bool userOnToken() {
  std::int32_t flag = 0;
  return NORV_DAL_IsLogin(NORV_DAL_LOGIN_USER, &flag) == 0 && flag == 1;
}

const std::string kWrongPin = "999999";

TEST_F(ModuleTest, WrongPinsCountDownThenBlock) {
  initToken();
  const CK_SESSION_HANDLE s = openSession();
  const std::string tooLong(16, '1');
  EXPECT_EQ(c::Login(s, CKU_USER, pinPtr(tooLong), tooLong.size()), CKR_PIN_LEN_RANGE);
  EXPECT_EQ(c::Login(s, CKU_USER, pinPtr(kUserPin), 0), CKR_PIN_LEN_RANGE);
  EXPECT_EQ(tokenFlags() & CKF_USER_PIN_COUNT_LOW, 0u);  // nothing was sent
  int wrong = 0;
  while ((tokenFlags() & CKF_USER_PIN_FINAL_TRY) == 0 && wrong < 20) {
    ASSERT_EQ(c::Login(s, CKU_USER, pinPtr(kWrongPin), 6), CKR_PIN_INCORRECT);
    EXPECT_NE(tokenFlags() & CKF_USER_PIN_COUNT_LOW, 0u);
    ++wrong;
  }
  ASSERT_LT(wrong, 20) << "the final try never came";
  EXPECT_EQ(c::Login(s, CKU_USER, pinPtr(kWrongPin), 6), CKR_PIN_LOCKED);
  EXPECT_NE(tokenFlags() & CKF_USER_PIN_LOCKED, 0u);
  EXPECT_EQ(c::Login(s, CKU_USER, pinPtr(kUserPin), kUserPin.size()), CKR_PIN_LOCKED);
  // The security officer unblocks it with a new PIN.
  login(s, CKU_SO);
  const std::string fresh = "777777";
  ASSERT_EQ(c::InitPIN(s, pinPtr(fresh), fresh.size()), CKR_OK);
  ASSERT_EQ(c::Logout(s), CKR_OK);
  EXPECT_EQ(c::Login(s, CKU_USER, pinPtr(fresh), fresh.size()), CKR_OK);
  EXPECT_EQ(tokenFlags() & (CKF_USER_PIN_LOCKED | CKF_USER_PIN_COUNT_LOW), 0u);
}

TEST_F(ModuleTest, OnlyAUserSessionSigns) {
  initToken();
  const CK_SESSION_HANDLE s = openSession();
  login(s);
  const CK_OBJECT_HANDLE key = generateKeyPair(s);
  ASSERT_EQ(c::Logout(s), CKR_OK);
  CK_MECHANISM m = {CKM_SHA256_RSA_PKCS, nullptr, 0};
  Bytes signature;
  EXPECT_EQ(sign(s, key, m, {1}, signature), CKR_USER_NOT_LOGGED_IN);
  // The security officer, although the token would let that PIN sign.
  login(s, CKU_SO);
  EXPECT_EQ(sign(s, key, m, {1}, signature), CKR_USER_NOT_LOGGED_IN);
  CK_MECHANISM decrypt = {CKM_RSA_PKCS, nullptr, 0};
  EXPECT_EQ(c::DecryptInit(s, &decrypt, key), CKR_USER_NOT_LOGGED_IN);
}

TEST_F(ModuleTest, TokenLoginLostElsewhereIsRestoredOrDropped) {
  initToken();
  const CK_SESSION_HANDLE s = openSession();
  login(s);
  const CK_OBJECT_HANDLE key = generateKeyPair(s);
  CK_MECHANISM m = {CKM_SHA256_RSA_PKCS, nullptr, 0};
  Bytes signature;
  ASSERT_EQ(NORV_DAL_Logout(NORV_DAL_LOGIN_USER), 0);  // another program logs out
  EXPECT_EQ(sign(s, key, m, {1}, signature), CKR_OK);
  EXPECT_TRUE(userOnToken());
  // Another program changes the PIN: the one held no longer logs in.
  const std::string changed = "424242";
  ASSERT_EQ(NORV_DAL_ChangePin(NORV_DAL_LOGIN_USER, pinPtr(kUserPin), 6, pinPtr(changed), 6), 0);
  ASSERT_EQ(NORV_DAL_Logout(NORV_DAL_LOGIN_USER), 0);
  EXPECT_EQ(sign(s, key, m, {1}, signature), CKR_USER_NOT_LOGGED_IN);
  EXPECT_EQ(stateOf(s), CKS_RW_PUBLIC_SESSION);
}

TEST_F(ModuleTest, ClosingTheLastSessionLogsOut) {
  initToken();
  const CK_SESSION_HANDLE a = openSession();
  const CK_SESSION_HANDLE b = openSession(false);
  login(a);
  EXPECT_EQ(stateOf(b), CKS_RO_USER_FUNCTIONS);  // one login for all sessions
  ASSERT_EQ(c::CloseSession(a), CKR_OK);
  EXPECT_TRUE(userOnToken());
  ASSERT_EQ(c::CloseSession(b), CKR_OK);
  EXPECT_FALSE(userOnToken());
  EXPECT_EQ(stateOf(openSession()), CKS_RW_PUBLIC_SESSION);
}

TEST_F(ModuleTest, PinChangeAndInitTokenCheckTheOldPin) {
  initToken();
  CK_SESSION_HANDLE s = openSession();
  const std::string changed = "24681357";
  EXPECT_EQ(c::SetPIN(s, pinPtr(kWrongPin), 6, pinPtr(changed), changed.size()), CKR_PIN_INCORRECT);
  ASSERT_EQ(c::SetPIN(s, pinPtr(kUserPin), 6, pinPtr(changed), changed.size()), CKR_OK);
  EXPECT_EQ(c::Login(s, CKU_USER, pinPtr(changed), changed.size()), CKR_OK);
  CK_OBJECT_HANDLE data = 0;
  ASSERT_EQ(createData(s, "kept", {1, 2}, false, data), CKR_OK);
  CK_UTF8CHAR label[32] = {'x'};
  EXPECT_EQ(c::InitToken(0, pinPtr(kSoPin), 8, label), CKR_SESSION_EXISTS);
  ASSERT_EQ(c::CloseAllSessions(0), CKR_OK);
  EXPECT_EQ(c::InitToken(0, pinPtr(kWrongPin), 6, label), CKR_PIN_INCORRECT);
  s = openSession();
  EXPECT_EQ(find(s).size(), 1u);  // nothing was formatted
  ASSERT_EQ(c::CloseSession(s), CKR_OK);
  ASSERT_EQ(c::InitToken(0, pinPtr(kSoPin), 8, label), CKR_OK);
  EXPECT_EQ(tokenFlags() & CKF_USER_PIN_INITIALIZED, 0u);
  s = openSession();
  EXPECT_EQ(find(s).size(), 0u);
  EXPECT_EQ(c::Login(s, CKU_USER, pinPtr(changed), changed.size()), CKR_USER_PIN_NOT_INITIALIZED);
}

CK_RV fakeMutex(void**) { return CKR_OK; }
CK_RV fakeMutexOp(void*) { return CKR_OK; }

TEST_F(ModuleTest, InitializeArguments) {
  EXPECT_EQ(c::Initialize(nullptr), CKR_CRYPTOKI_ALREADY_INITIALIZED);
  ASSERT_EQ(c::Finalize(nullptr), CKR_OK);
  CK_C_INITIALIZE_ARGS args{};
  int reserved = 0;
  args.pReserved = &reserved;
  EXPECT_EQ(c::Initialize(&args), CKR_ARGUMENTS_BAD);
  args = {fakeMutex, fakeMutexOp, fakeMutexOp, fakeMutexOp, 0, nullptr};
  EXPECT_EQ(c::Initialize(&args), CKR_CANT_LOCK);
  args.flags = CKF_OS_LOCKING_OK;
  ASSERT_EQ(c::Initialize(&args), CKR_OK);
  CK_INFO info{};
  EXPECT_EQ(c::GetInfo(&info), CKR_OK);
}

}  // namespace
}  // namespace p11test

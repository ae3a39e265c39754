// The module as applications load it: its three exports, the "PKCS 11"
// interface in versions 3.0 and 2.40 with the same calls in the same
// places, and what version 3.0 adds.
#include <dlfcn.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>

#include "ck/ck_v3.h"
#include "module_fixture.h"

namespace p11test {
namespace {

class InterfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = dlopen(TKP30_PKCS11_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib_, nullptr) << dlerror();
    getInterface_ = reinterpret_cast<CK_C_GetInterface>(dlsym(lib_, "C_GetInterface"));
    getList_ = reinterpret_cast<CK_C_GetInterfaceList>(dlsym(lib_, "C_GetInterfaceList"));
    ASSERT_NE(getInterface_, nullptr);
    ASSERT_NE(getList_, nullptr);
  }
  void TearDown() override {
    if (lib_ != nullptr) dlclose(lib_);
  }

  CK_INTERFACE_PTR interface(const char* name, CK_VERSION* version, CK_FLAGS flags = 0) {
    CK_INTERFACE_PTR found = nullptr;
    auto* n = reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(name));
    return getInterface_(n, version, &found, flags) == CKR_OK ? found : nullptr;
  }

  void* lib_ = nullptr;
  CK_C_GetInterface getInterface_ = nullptr;
  CK_C_GetInterfaceList getList_ = nullptr;
};

TEST_F(InterfaceTest, PkcsElevenInVersionsThreeAndTwoFortyWithTheSameCalls) {
  CK_ULONG count = 0;
  ASSERT_EQ(getList_(nullptr, &count), CKR_OK);
  ASSERT_EQ(count, 2u);
  CK_INTERFACE list[2];
  count = 1;
  EXPECT_EQ(getList_(list, &count), CKR_BUFFER_TOO_SMALL);
  count = 2;
  ASSERT_EQ(getList_(list, &count), CKR_OK);
  EXPECT_STREQ(reinterpret_cast<const char*>(list[0].pInterfaceName), "PKCS 11");

  CK_VERSION v30 = {3, 0};
  CK_VERSION v240 = {2, 40};
  CK_VERSION v31 = {3, 1};
  const CK_INTERFACE_PTR newest = interface(nullptr, nullptr);
  ASSERT_NE(newest, nullptr);
  EXPECT_EQ(newest->pFunctionList, interface("PKCS 11", &v30)->pFunctionList);
  EXPECT_EQ(interface("PKCS 11", &v31), nullptr);
  EXPECT_EQ(interface("Vendor", nullptr), nullptr);
  EXPECT_EQ(interface("PKCS 11", &v30, CKF_INTERFACE_FORK_SAFE), nullptr);
  const auto* f30 = static_cast<const CK_FUNCTION_LIST_3_0*>(newest->pFunctionList);
  const auto* f240 =
      static_cast<const CK_FUNCTION_LIST*>(interface("PKCS 11", &v240)->pFunctionList);
  EXPECT_EQ(f30->version.major, 3);
  EXPECT_EQ(f240->version.minor, 40);
  // Every 2.40 entry sits where it sits in the 2.40 list; only C_GetInfo,
  // which reports the list's version, differs.
  const auto* a = reinterpret_cast<void* const*>(&f30->C_Initialize);
  const auto* b = reinterpret_cast<void* const*>(&f240->C_Initialize);
  const std::size_t entries = (sizeof(CK_FUNCTION_LIST) - offsetof(CK_FUNCTION_LIST, C_Initialize)) /
                              sizeof(void*);
  for (std::size_t i = 0; i < entries; ++i) {
    if (&a[i] == reinterpret_cast<void* const*>(&f30->C_GetInfo)) continue;
    EXPECT_EQ(a[i], b[i]) << i;
  }
  CK_FUNCTION_LIST_PTR viaOld = nullptr;
  ASSERT_EQ(f30->C_GetFunctionList(&viaOld), CKR_OK);
  EXPECT_EQ(viaOld, f240);
}

TEST_F(InterfaceTest, VersionThreeCallsOnAnEmulatedToken) {
  const char* root = std::getenv("TKP30_TEST_TMP");
  std::string dir = std::string(root != nullptr && *root ? root : "/tmp") + "/p11-v3-XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  setenv("TKP30_SLOTS", ("emu:" + dir + "/token.img").c_str(), 1);
  CK_VERSION v30 = {3, 0};
  const auto* f = static_cast<CK_FUNCTION_LIST_3_0*>(interface("PKCS 11", &v30)->pFunctionList);
  ASSERT_EQ(f->C_Initialize(nullptr), CKR_OK);
  CK_INFO info{};
  ASSERT_EQ(f->C_GetInfo(&info), CKR_OK);
  EXPECT_EQ(info.cryptokiVersion.major, 3);
  EXPECT_EQ(info.cryptokiVersion.minor, 0);
  CK_UTF8CHAR label[32];
  std::memset(label, ' ', sizeof label);
  ASSERT_EQ(f->C_InitToken(0, pinPtr(kSoPin), kSoPin.size(), label), CKR_OK);
  CK_SESSION_HANDLE s = 0;
  ASSERT_EQ(f->C_OpenSession(0, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &s), CKR_OK);
  CK_UTF8CHAR name[] = "alice";
  EXPECT_EQ(f->C_LoginUser(s, CKU_SO, pinPtr(kSoPin), kSoPin.size(), name, 5), CKR_ARGUMENTS_BAD);
  ASSERT_EQ(f->C_LoginUser(s, CKU_SO, pinPtr(kSoPin), kSoPin.size(), nullptr, 0), CKR_OK);
  CK_SESSION_INFO sessionInfo{};
  ASSERT_EQ(f->C_GetSessionInfo(s, &sessionInfo), CKR_OK);
  EXPECT_EQ(sessionInfo.state, CKS_RW_SO_FUNCTIONS);

  CK_MECHANISM sha256 = {CKM_SHA256, nullptr, 0};
  ASSERT_EQ(f->C_DigestInit(s, &sha256), CKR_OK);
  ASSERT_EQ(f->C_FindObjectsInit(s, nullptr, 0), CKR_OK);
  ASSERT_EQ(f->C_SessionCancel(s, CKF_DIGEST | CKF_FIND_OBJECTS), CKR_OK);
  CK_BYTE digest[32];
  CK_ULONG length = sizeof digest;
  EXPECT_EQ(f->C_DigestFinal(s, digest, &length), CKR_OPERATION_NOT_INITIALIZED);
  EXPECT_EQ(f->C_FindObjectsFinal(s), CKR_OPERATION_NOT_INITIALIZED);
  EXPECT_EQ(f->C_DigestInit(s, &sha256), CKR_OK);  // a new one may start

  EXPECT_EQ(f->C_MessageSignInit(s, &sha256, 1), CKR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(f->C_MessageEncryptFinal(s), CKR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(f->C_MessageVerifyFinal(s + 100), CKR_SESSION_HANDLE_INVALID);
  EXPECT_EQ(f->C_Finalize(nullptr), CKR_OK);
  EXPECT_EQ(f->C_SessionCancel(s, CKF_SIGN), CKR_CRYPTOKI_NOT_INITIALIZED);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace p11test

// Rules of the standard that callers' mistakes meet: templates checked
// before any byte behind them is read, single-part calls that may not end
// multi-part operations, and copies of certificates and data objects.
#include <openssl/evp.h>

#include "common/module_range.h"
#include "guard_page.h"
#include "module_fixture.h"
#include "norv_dal_tkp30.h"
#include "records/storage_limits.h"

namespace p11test {
namespace {

class RulesTest : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    initToken();
    s_ = openSession();
    login(s_);
  }
  CK_SESSION_HANDLE s_ = 0;
};

TEST_F(RulesTest, TemplateValuesAreCheckedBeforeTheyAreRead) {
  CK_OBJECT_HANDLE data = 0;
  ASSERT_EQ(createData(s_, "d", {1, 2}, false, data), CKR_OK);
  // A null value whose length matches the object's attribute.
  CK_ATTRIBUTE nullClass = {CKA_CLASS, nullptr, sizeof(CK_OBJECT_CLASS)};
  EXPECT_EQ(c::FindObjectsInit(s_, &nullClass, 1), CKR_ATTRIBUTE_VALUE_INVALID);
  CK_ATTRIBUTE nullLabel = {CKA_LABEL, nullptr, 1};
  EXPECT_EQ(c::SetAttributeValue(s_, data, &nullLabel, 1), CKR_ATTRIBUTE_VALUE_INVALID);

  const GuardPage guard;
  CK_OBJECT_CLASS dataClass = CKO_DATA;
  CK_ATTRIBUTE huge[] = {{CKA_CLASS, &dataClass, sizeof dataClass},
                         {CKA_VALUE, guard.address(), 8193}};
  CK_OBJECT_HANDLE made = 0;
  EXPECT_EQ(c::CreateObject(s_, huge, 2, &made), CKR_ATTRIBUTE_VALUE_INVALID);
  CK_ATTRIBUTE longLabel = {CKA_LABEL, guard.address(), 100000};
  EXPECT_EQ(c::SetAttributeValue(s_, data, &longLabel, 1), CKR_ATTRIBUTE_VALUE_INVALID);
  EXPECT_EQ(c::FindObjectsInit(s_, &longLabel, 1), CKR_ATTRIBUTE_VALUE_INVALID);
  CK_MECHANISM gen = {CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
  CK_ULONG bits = 1024;
  CK_ATTRIBUTE pub[] = {{CKA_MODULUS_BITS, &bits, sizeof bits}, {CKA_LABEL, guard.address(), 65}};
  CK_OBJECT_HANDLE a = 0;
  CK_OBJECT_HANDLE b = 0;
  EXPECT_EQ(c::GenerateKeyPair(s_, &gen, pub, 2, nullptr, 0, &a, &b), CKR_ATTRIBUTE_VALUE_INVALID);

  // More entries than any object has: the entries themselves are not read.
  EXPECT_EQ(c::FindObjectsInit(s_, guard.tmpl(), 1000), CKR_ARGUMENTS_BAD);
  EXPECT_EQ(c::GetAttributeValue(s_, data, guard.tmpl(), 1000), CKR_ARGUMENTS_BAD);
  EXPECT_EQ(c::CreateObject(s_, guard.tmpl(), 1000, &made), CKR_ARGUMENTS_BAD);
  EXPECT_EQ(c::SetAttributeValue(s_, data, guard.tmpl(), 1000), CKR_ARGUMENTS_BAD);
  EXPECT_EQ(c::CopyObject(s_, data, guard.tmpl(), 1000, &made), CKR_ARGUMENTS_BAD);
  EXPECT_EQ(find(s_).size(), 1u);  // nothing was made
}

// Each single-part call after an update: refused, and the operation goes
// on to its final call, which sees every part.
TEST_F(RulesTest, SinglePartCallsCannotEndMultiPartOperations) {
  Bytes part = {'a', 'b', 'c'};
  CK_BYTE out[128];
  CK_ULONG outLen = sizeof out;
  CK_MECHANISM sha256 = {CKM_SHA256, nullptr, 0};
  ASSERT_EQ(c::DigestInit(s_, &sha256), CKR_OK);
  ASSERT_EQ(c::DigestUpdate(s_, part.data(), part.size()), CKR_OK);
  EXPECT_EQ(c::Digest(s_, part.data(), part.size(), out, &outLen), CKR_OPERATION_ACTIVE);
  ASSERT_EQ(c::DigestFinal(s_, out, &outLen), CKR_OK);
  Bytes expected(32);
  EVP_Digest(part.data(), part.size(), expected.data(), nullptr, EVP_sha256(), nullptr);
  EXPECT_EQ(Bytes(out, out + outLen), expected);

  const CK_OBJECT_HANDLE key = generateKeyPair(s_);
  CK_OBJECT_CLASS publicClass = CKO_PUBLIC_KEY;
  const CK_OBJECT_HANDLE publicKey = find(s_, {{CKA_CLASS, &publicClass, sizeof publicClass}})[0];
  CK_MECHANISM pkcs = {CKM_SHA256_RSA_PKCS, nullptr, 0};
  ASSERT_EQ(c::SignInit(s_, &pkcs, key), CKR_OK);
  ASSERT_EQ(c::SignUpdate(s_, part.data(), part.size()), CKR_OK);
  outLen = sizeof out;
  EXPECT_EQ(c::Sign(s_, part.data(), part.size(), out, &outLen), CKR_OPERATION_ACTIVE);
  ASSERT_EQ(c::SignFinal(s_, out, &outLen), CKR_OK);
  Bytes signature(out, out + outLen);

  ASSERT_EQ(c::VerifyInit(s_, &pkcs, publicKey), CKR_OK);
  ASSERT_EQ(c::VerifyUpdate(s_, part.data(), part.size()), CKR_OK);
  EXPECT_EQ(c::Verify(s_, part.data(), part.size(), signature.data(), signature.size()),
            CKR_OPERATION_ACTIVE);
  EXPECT_EQ(c::VerifyFinal(s_, signature.data(), signature.size()), CKR_OK);

  CK_MECHANISM rsa = {CKM_RSA_PKCS, nullptr, 0};
  ASSERT_EQ(c::EncryptInit(s_, &rsa, publicKey), CKR_OK);
  CK_ULONG none = 0;
  ASSERT_EQ(c::EncryptUpdate(s_, part.data(), part.size(), nullptr, &none), CKR_OK);
  outLen = sizeof out;
  EXPECT_EQ(c::Encrypt(s_, part.data(), part.size(), out, &outLen), CKR_OPERATION_ACTIVE);
  ASSERT_EQ(c::EncryptFinal(s_, out, &outLen), CKR_OK);
  Bytes cipher(out, out + outLen);

  ASSERT_EQ(c::DecryptInit(s_, &rsa, key), CKR_OK);
  ASSERT_EQ(c::DecryptUpdate(s_, cipher.data(), cipher.size(), nullptr, &none), CKR_OK);
  outLen = sizeof out;
  EXPECT_EQ(c::Decrypt(s_, cipher.data(), 0, out, &outLen), CKR_OPERATION_ACTIVE);
  ASSERT_EQ(c::DecryptFinal(s_, out, &outLen), CKR_OK);
  EXPECT_EQ(Bytes(out, out + outLen), part);
}

TEST_F(RulesTest, CertificatesAndDataObjectsCopyKeysDoNot) {
  CK_OBJECT_HANDLE data = 0;
  ASSERT_EQ(createData(s_, "original", {7, 7}, false, data), CKR_OK);
  EXPECT_EQ(attribute(s_, data, CKA_COPYABLE), Bytes{CK_TRUE});

  // A token object copied into the session, renamed and made read-only.
  std::string label = "copy";
  CK_BBOOL no = CK_FALSE;
  CK_BBOOL yes = CK_TRUE;
  CK_ATTRIBUTE changes[] = {
      {CKA_TOKEN, &no, 1}, {CKA_LABEL, label.data(), label.size()}, {CKA_MODIFIABLE, &no, 1}};
  CK_OBJECT_HANDLE copy = 0;
  ASSERT_EQ(c::CopyObject(s_, data, changes, 3, &copy), CKR_OK);
  EXPECT_EQ(attribute(s_, copy, CKA_VALUE), (Bytes{7, 7}));
  EXPECT_EQ(attribute(s_, copy, CKA_TOKEN), Bytes{CK_FALSE});
  EXPECT_EQ(attribute(s_, copy, CKA_LABEL), Bytes(label.begin(), label.end()));
  EXPECT_EQ(attribute(s_, data, CKA_LABEL), (Bytes{'o', 'r', 'i', 'g', 'i', 'n', 'a', 'l'}));
  // Read-only stays read-only, and values stay what they are.
  CK_ATTRIBUTE writable = {CKA_MODIFIABLE, &yes, 1};
  CK_OBJECT_HANDLE again = 0;
  EXPECT_EQ(c::CopyObject(s_, copy, &writable, 1, &again), CKR_ATTRIBUTE_READ_ONLY);
  std::string relabel = "renamed";
  CK_ATTRIBUTE renamed = {CKA_LABEL, relabel.data(), relabel.size()};
  EXPECT_EQ(c::CopyObject(s_, copy, &renamed, 1, &again), CKR_ATTRIBUTE_READ_ONLY);
  Bytes other = {1};
  CK_ATTRIBUTE value = {CKA_VALUE, other.data(), 1};
  EXPECT_EQ(c::CopyObject(s_, data, &value, 1, &again), CKR_ATTRIBUTE_READ_ONLY);
  // Back onto the token, as a second object file.
  ASSERT_EQ(c::CopyObject(s_, copy, changes, 0, &again), CKR_OK);
  CK_ATTRIBUTE toToken = {CKA_TOKEN, &yes, 1};
  ASSERT_EQ(c::CopyObject(s_, copy, &toToken, 1, &again), CKR_OK);
  EXPECT_EQ(find(s_, {{CKA_TOKEN, &yes, 1}}).size(), 2u);

  const CK_OBJECT_HANDLE key = generateKeyPair(s_);
  EXPECT_EQ(c::CopyObject(s_, key, nullptr, 0, &again), CKR_ACTION_PROHIBITED);
}

// A directory the module cannot read (here: a newer format) is never
// written over: the token is read-only for the module, its keys still work,
// and only formatting starts afresh.
TEST_F(RulesTest, AnUnreadableDirectoryMakesTheTokenReadOnly) {
  const CK_OBJECT_HANDLE key = generateKeyPair(s_);
  std::string label = "renamed";  // the directory's second copy
  CK_ATTRIBUTE relabel = {CKA_LABEL, label.data(), label.size()};
  ASSERT_EQ(c::SetAttributeValue(s_, key, &relabel, 1), CKR_OK);
  Bytes header(5);
  ASSERT_EQ(NORV_DAL_ReadUsrDataFile(3, common::kDirectoryRun.first, 0, 5, header.data()), 0);
  header[4] = 9;  // a format version from the future, in both copies
  for (int copy = 0; copy < 2; ++copy)
    ASSERT_EQ(NORV_DAL_WriteUsrDataFile(3, common::kDirectoryRun.first + copy, 0, 5, header.data()), 0);
  Bytes before(256);
  ASSERT_EQ(NORV_DAL_ReadUsrDataFile(3, common::kDirectoryRun.first, 0, 256, before.data()), 0);

  CK_TOKEN_INFO info{};
  ASSERT_EQ(c::GetTokenInfo(0, &info), CKR_OK);
  EXPECT_NE(info.flags & CKF_WRITE_PROTECTED, 0u);
  CK_OBJECT_HANDLE made = 0;
  EXPECT_EQ(createData(s_, "d", {1}, false, made), CKR_TOKEN_WRITE_PROTECTED);
  CK_MECHANISM gen = {CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
  CK_ULONG bits = 1024;
  CK_ATTRIBUTE pub[] = {{CKA_MODULUS_BITS, &bits, sizeof bits}};
  CK_OBJECT_HANDLE a = 0;
  CK_OBJECT_HANDLE b = 0;
  EXPECT_EQ(c::GenerateKeyPair(s_, &gen, pub, 1, nullptr, 0, &a, &b), CKR_TOKEN_WRITE_PROTECTED);
  label = "again";
  relabel.ulValueLen = label.size();
  EXPECT_EQ(c::SetAttributeValue(s_, key, &relabel, 1), CKR_TOKEN_WRITE_PROTECTED);
  EXPECT_EQ(c::DestroyObject(s_, key), CKR_TOKEN_WRITE_PROTECTED);
  Bytes signature;
  EXPECT_EQ(sign(s_, key, {CKM_SHA256_RSA_PKCS, nullptr, 0}, {'m'}, signature), CKR_OK);
  Bytes after(256);
  ASSERT_EQ(NORV_DAL_ReadUsrDataFile(3, common::kDirectoryRun.first, 0, 256, after.data()), 0);
  EXPECT_EQ(after, before);

  ASSERT_EQ(c::CloseSession(s_), CKR_OK);
  initToken();
  ASSERT_EQ(c::GetTokenInfo(0, &info), CKR_OK);
  EXPECT_EQ(info.flags & CKF_WRITE_PROTECTED, 0u);
  s_ = openSession();
  login(s_);
  EXPECT_EQ(createData(s_, "d", {1}, false, made), CKR_OK);
}

}  // namespace
}  // namespace p11test

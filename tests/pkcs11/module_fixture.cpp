#include "module_fixture.h"

#include <cstdlib>
#include <filesystem>

#include <openssl/x509.h>

#include "dmcos.h"
#include "norv_dal_tkp30.h"
#include "support/rsa_test_keys.h"
#include "support/test_os.h"

namespace p11test {

void ModuleTest::SetUp() {
  const char* root = std::getenv("TKP30_TEST_TMP");
  const std::string base = root && *root ? root : std::filesystem::temp_directory_path().string();
  std::filesystem::create_directories(base);
  dir_ = testos::makeTempDir(base + "/p11-");
  image_ = dir_ + "/token.img";
  testos::setEnv("TKP30_SLOTS", ("emu:" + image_).c_str());
  ASSERT_EQ(c::Initialize(nullptr), CKR_OK);
}

void ModuleTest::TearDown() {
  c::Finalize(nullptr);
  NORV_DAL_Finalize();
  PowerCycleEmu_UK(image_.c_str(), nullptr, 0);  // drops the token's shared volatile state
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void ModuleTest::initToken() {
  CK_UTF8CHAR label[32];
  std::fill(std::begin(label), std::end(label), ' ');
  ASSERT_EQ(c::InitToken(0, pinPtr(kSoPin), kSoPin.size(), label), CKR_OK);
  const CK_SESSION_HANDLE s = openSession();
  ASSERT_EQ(c::Login(s, CKU_SO, pinPtr(kSoPin), kSoPin.size()), CKR_OK);
  ASSERT_EQ(c::InitPIN(s, pinPtr(kUserPin), kUserPin.size()), CKR_OK);
  ASSERT_EQ(c::CloseSession(s), CKR_OK);
}

CK_SESSION_HANDLE ModuleTest::openSession(bool readWrite) {
  CK_SESSION_HANDLE s = 0;
  const CK_FLAGS flags = CKF_SERIAL_SESSION | (readWrite ? CKF_RW_SESSION : 0);
  EXPECT_EQ(c::OpenSession(0, flags, nullptr, nullptr, &s), CKR_OK);
  return s;
}

void ModuleTest::login(CK_SESSION_HANDLE s, CK_USER_TYPE who) {
  const std::string& pin = who == CKU_SO ? kSoPin : kUserPin;
  ASSERT_EQ(c::Login(s, who, pinPtr(pin), pin.size()), CKR_OK);
}

CK_OBJECT_HANDLE ModuleTest::generateKeyPair(CK_SESSION_HANDLE s, const Bytes& id) {
  CK_MECHANISM mechanism = {CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
  CK_ULONG bits = 1024;
  CK_BBOOL yes = CK_TRUE;
  Bytes keyId = id;
  CK_ATTRIBUTE pub[] = {{CKA_TOKEN, &yes, 1},
                        {CKA_MODULUS_BITS, &bits, sizeof bits},
                        {CKA_ID, keyId.data(), keyId.size()}};
  CK_ATTRIBUTE priv[] = {{CKA_TOKEN, &yes, 1}, {CKA_ID, keyId.data(), keyId.size()}};
  CK_OBJECT_HANDLE publicKey = 0;
  CK_OBJECT_HANDLE privateKey = 0;
  EXPECT_EQ(c::GenerateKeyPair(s, &mechanism, pub, 3, priv, 2, &publicKey, &privateKey), CKR_OK);
  return privateKey;
}

Bytes ModuleTest::attribute(CK_SESSION_HANDLE s, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type) {
  CK_ATTRIBUTE a = {type, nullptr, 0};
  if (c::GetAttributeValue(s, object, &a, 1) != CKR_OK) return {};
  Bytes value(a.ulValueLen);
  a.pValue = value.data();
  EXPECT_EQ(c::GetAttributeValue(s, object, &a, 1), CKR_OK);
  return value;
}

std::vector<CK_OBJECT_HANDLE> ModuleTest::find(CK_SESSION_HANDLE s,
                                               std::vector<CK_ATTRIBUTE> tmpl) {
  std::vector<CK_OBJECT_HANDLE> found(64);
  CK_ULONG count = 0;
  EXPECT_EQ(c::FindObjectsInit(s, tmpl.data(), tmpl.size()), CKR_OK);
  EXPECT_EQ(c::FindObjects(s, found.data(), found.size(), &count), CKR_OK);
  EXPECT_EQ(c::FindObjectsFinal(s), CKR_OK);
  found.resize(count);
  return found;
}

CK_RV ModuleTest::sign(CK_SESSION_HANDLE s, CK_OBJECT_HANDLE key, CK_MECHANISM mechanism,
                       const Bytes& data, Bytes& signature) {
  if (const CK_RV rv = c::SignInit(s, &mechanism, key); rv != CKR_OK) return rv;
  signature.assign(128, 0);
  CK_ULONG length = signature.size();
  Bytes in = data;
  const CK_RV rv = c::Sign(s, in.data(), in.size(), signature.data(), &length);
  signature.resize(length);
  return rv;
}

CK_RV ModuleTest::createData(CK_SESSION_HANDLE s, const std::string& label, const Bytes& value,
                             bool isPrivate, CK_OBJECT_HANDLE& handle) {
  CK_OBJECT_CLASS dataClass = CKO_DATA;
  CK_BBOOL yes = CK_TRUE;
  CK_BBOOL priv = isPrivate ? CK_TRUE : CK_FALSE;
  std::string l = label;
  Bytes v = value;
  CK_ATTRIBUTE tmpl[] = {{CKA_CLASS, &dataClass, sizeof dataClass},
                         {CKA_TOKEN, &yes, 1},
                         {CKA_PRIVATE, &priv, 1},
                         {CKA_LABEL, l.data(), l.size()},
                         {CKA_VALUE, v.data(), v.size()}};
  return c::CreateObject(s, tmpl, 5, &handle);
}

Bytes selfSignedCertificate() {
  const rsatest::Pkey key = rsatest::generate(1024);
  std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), &X509_free);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("t"),
                             -1, -1, 0);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 77);
  X509_set_issuer_name(cert.get(), name);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), 0);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3600);
  X509_set_pubkey(cert.get(), key.get());
  X509_sign(cert.get(), key.get(), EVP_sha256());
  unsigned char* der = nullptr;
  const int n = i2d_X509(cert.get(), &der);
  Bytes out(der, der + n);
  OPENSSL_free(der);
  return out;
}

CK_RV ModuleTest::createCertificate(CK_SESSION_HANDLE s, CK_OBJECT_HANDLE& handle) {
  Bytes der = selfSignedCertificate();
  CK_OBJECT_CLASS certClass = CKO_CERTIFICATE;
  CK_CERTIFICATE_TYPE x509 = CKC_X_509;
  CK_BBOOL yes = CK_TRUE;
  CK_ATTRIBUTE tmpl[] = {{CKA_CLASS, &certClass, sizeof certClass},
                         {CKA_CERTIFICATE_TYPE, &x509, sizeof x509},
                         {CKA_TOKEN, &yes, 1},
                         {CKA_VALUE, der.data(), der.size()}};
  return c::CreateObject(s, tmpl, 4, &handle);
}

}  // namespace p11test

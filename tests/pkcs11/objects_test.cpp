// Objects on the token: files reused, never deleted, private ones kept
// private, key pairs in the token's four slots.
#include <openssl/x509.h>

#include "common/module_range.h"
#include "module_fixture.h"
#include "norv_dal_tkp30.h"
#include "records/storage_limits.h"
#include "support/rsa_test_keys.h"

namespace p11test {
namespace {


bool tokenFileExists(std::int32_t index) {
  std::uint8_t byte = 0;
  const std::int32_t rv = NORV_DAL_ReadUsrDataFile(common::kModuleFileType, index, 0, 1, &byte);
  return rv == 0 || rv == NORV_DAL_ERR_FILE_DELETED;
}

CK_ATTRIBUTE labelled(std::string& label) { return {CKA_LABEL, label.data(), label.size()}; }

TEST_F(ModuleTest, DataObjectsComeAndGoInOneReusedFile) {
  initToken();
  const CK_SESSION_HANDLE s = openSession();
  login(s);
  std::string label = "notes";
  for (std::uint8_t round = 0; round < 6; ++round) {
    CK_OBJECT_HANDLE handle = 0;
    ASSERT_EQ(createData(s, label, Bytes(50 + round, round), false, handle), CKR_OK) << int(round);
    ASSERT_EQ(find(s, {labelled(label)}), std::vector<CK_OBJECT_HANDLE>{handle});
    EXPECT_EQ(attribute(s, handle, CKA_VALUE), Bytes(50 + round, round));
    ASSERT_EQ(c::DestroyObject(s, handle), CKR_OK);
    EXPECT_TRUE(find(s, {labelled(label)}).empty());
  }
  EXPECT_TRUE(tokenFileExists(common::kFirstObjectFile));
  EXPECT_FALSE(tokenFileExists(common::kFirstObjectFile + 1));
  // Another program deletes nothing of ours either: the file is there, free.
  std::uint8_t header = 0xFF;
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(common::kModuleFileType, common::kFirstObjectFile, 0, 1, &header), 0);
}

TEST_F(ModuleTest, PrivateObjectsStayPrivate) {
  initToken();
  CK_SESSION_HANDLE s = openSession();
  login(s);
  CK_OBJECT_HANDLE handle = 0;
  ASSERT_EQ(createData(s, "pin list", {'s', '3'}, true, handle), CKR_OK);
  ASSERT_EQ(c::Logout(s), CKR_OK);
  EXPECT_TRUE(find(s).empty());
  CK_ATTRIBUTE value = {CKA_VALUE, nullptr, 0};
  EXPECT_EQ(c::GetAttributeValue(s, handle, &value, 1), CKR_OBJECT_HANDLE_INVALID);
  std::uint8_t byte = 0;  // the token itself refuses the file without the PIN
  EXPECT_NE(NORV_DAL_ReadUsrDataFile(common::kModuleFileType, common::kFirstObjectFile, 0, 1, &byte), 0);
  login(s);
  EXPECT_EQ(attribute(s, handle, CKA_VALUE), (Bytes{'s', '3'}));
}

TEST_F(ModuleTest, TheSecurityOfficerCreatesNoUserFile) {
  initToken();
  const CK_SESSION_HANDLE s = openSession();
  login(s, CKU_SO);
  CK_OBJECT_HANDLE handle = 0;
  EXPECT_EQ(createData(s, "so", {1}, false, handle), CKR_USER_NOT_LOGGED_IN);
  EXPECT_FALSE(tokenFileExists(common::kDirectoryRun.first));
  EXPECT_FALSE(tokenFileExists(common::kFirstObjectFile));
}

// Files of the range that the directory does not name: one anybody may
// write is left as it is; one only the user may write is wiped and reused.
TEST_F(ModuleTest, UnnamedFilesAreReclaimedUnlessOthersCouldWriteThem) {
  initToken();
  const CK_SESSION_HANDLE s = openSession();
  login(s);
  const std::uint8_t theirs[4] = {'m', 'i', 'n', 'e'};
  const std::int32_t first = common::kFirstObjectFile;
  ASSERT_EQ(NORV_DAL_CreateUsrDataFile(common::kModuleFileType, first, 64, 0, 0), 0);
  ASSERT_EQ(NORV_DAL_WriteUsrDataFile(common::kModuleFileType, first, 0, 4, theirs), 0);
  ASSERT_EQ(NORV_DAL_CreateUsrDataFile(common::kModuleFileType, first + 1, 300, 1, 1), 0);
  ASSERT_EQ(NORV_DAL_WriteUsrDataFile(common::kModuleFileType, first + 1, 250, 4, theirs), 0);
  CK_OBJECT_HANDLE handle = 0;
  ASSERT_EQ(createData(s, "secret", {'s'}, true, handle), CKR_OK);
  EXPECT_EQ(attribute(s, handle, CKA_VALUE), Bytes{'s'});
  std::uint8_t read[4] = {};
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(common::kModuleFileType, first, 0, 4, read), 0);
  EXPECT_EQ(Bytes(read, read + 4), Bytes(theirs, theirs + 4));  // left alone
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(common::kModuleFileType, first + 1, 250, 4, read), 0);
  EXPECT_EQ(Bytes(read, read + 4), Bytes(4, 0));  // wiped, then reused
  EXPECT_FALSE(tokenFileExists(first + 2));
  ASSERT_EQ(c::Logout(s), CKR_OK);  // a private file: closed without the PIN
  EXPECT_EQ(NORV_DAL_ReadUsrDataFile(common::kModuleFileType, first + 1, 0, 1, read),
            NORV_DAL_ERR_READ_FILE);
}

TEST_F(ModuleTest, FourKeyPairsAtMostAndDestroyedOnesHidden) {
  initToken();
  const CK_SESSION_HANDLE s = openSession();
  login(s);
  std::vector<CK_OBJECT_HANDLE> keys;
  for (std::uint8_t id = 1; id <= 4; ++id) keys.push_back(generateKeyPair(s, {id}));
  CK_OBJECT_CLASS privateClass = CKO_PRIVATE_KEY;
  CK_ATTRIBUTE privateKeys[] = {{CKA_CLASS, &privateClass, sizeof privateClass}};
  EXPECT_EQ(find(s, {privateKeys[0]}).size(), 4u);
  ASSERT_EQ(c::DestroyObject(s, keys[0]), CKR_OK);
  EXPECT_EQ(find(s, {privateKeys[0]}).size(), 3u);
  EXPECT_EQ(find(s).size(), 7u);  // its public key stays

  CK_MECHANISM m = {CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
  CK_ULONG bits = 1024;
  CK_ATTRIBUTE pub[] = {{CKA_MODULUS_BITS, &bits, sizeof bits}};
  CK_OBJECT_HANDLE a = 0;
  CK_OBJECT_HANDLE b = 0;
  EXPECT_EQ(c::GenerateKeyPair(s, &m, pub, 1, nullptr, 0, &a, &b), CKR_DEVICE_MEMORY);
  bits = 2048;
  EXPECT_EQ(c::GenerateKeyPair(s, &m, pub, 1, nullptr, 0, &a, &b), CKR_KEY_SIZE_RANGE);
}

TEST_F(ModuleTest, KeysFromOtherProgramsAndImportedKeysAppear) {
  initToken();
  CK_SESSION_HANDLE s = openSession();
  login(s);
  std::int32_t pub = 0;
  std::int32_t priv = 0;
  ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &priv), 0);  // as `tkp30 keygen` does

  const rsatest::Pkey key = rsatest::generate(1024);
  auto part = [&](const char* name) { return rsatest::param(key.get(), name, 64); };
  Bytes n = rsatest::modulus(key.get()), e = {1, 0, 1}, p = part(OSSL_PKEY_PARAM_RSA_FACTOR1),
        q = part(OSSL_PKEY_PARAM_RSA_FACTOR2), dp = part(OSSL_PKEY_PARAM_RSA_EXPONENT1),
        dq = part(OSSL_PKEY_PARAM_RSA_EXPONENT2), qi = part(OSSL_PKEY_PARAM_RSA_COEFFICIENT1);
  CK_OBJECT_CLASS privateClass = CKO_PRIVATE_KEY;
  CK_KEY_TYPE rsa = CKK_RSA;
  std::string label = "imported";
  std::vector<CK_ATTRIBUTE> tmpl = {
      {CKA_CLASS, &privateClass, sizeof privateClass}, {CKA_KEY_TYPE, &rsa, sizeof rsa},
      labelled(label), {CKA_MODULUS, n.data(), n.size()}, {CKA_PUBLIC_EXPONENT, e.data(), 3},
      {CKA_PRIME_1, p.data(), 64}, {CKA_PRIME_2, q.data(), 64}, {CKA_EXPONENT_1, dp.data(), 64},
      {CKA_EXPONENT_2, dq.data(), 64}};
  CK_OBJECT_HANDLE imported = 0;
  EXPECT_EQ(c::CreateObject(s, tmpl.data(), tmpl.size(), &imported), CKR_TEMPLATE_INCOMPLETE);
  tmpl.push_back({CKA_COEFFICIENT, qi.data(), 64});
  p[63] ^= 2;  // primes that do not make the modulus
  EXPECT_EQ(c::CreateObject(s, tmpl.data(), tmpl.size(), &imported), CKR_ATTRIBUTE_VALUE_INVALID);
  p[63] ^= 2;
  ASSERT_EQ(c::CreateObject(s, tmpl.data(), tmpl.size(), &imported), CKR_OK);
  EXPECT_EQ(attribute(s, imported, CKA_MODULUS), n);

  ASSERT_EQ(c::CloseSession(s), CKR_OK);
  s = openSession();
  login(s);
  CK_OBJECT_CLASS publicClass = CKO_PUBLIC_KEY;
  CK_ATTRIBUTE publicKeys[] = {{CKA_CLASS, &publicClass, sizeof publicClass}};
  const auto found = find(s, {publicKeys[0]});
  ASSERT_EQ(found.size(), 2u);
  const Bytes modulus = attribute(s, found[0], CKA_MODULUS);
  Bytes sha1(20);
  EVP_Digest(modulus.data(), modulus.size(), sha1.data(), nullptr, EVP_sha1(), nullptr);
  EXPECT_EQ(attribute(s, found[0], CKA_ID), sha1);  // the directory knew nothing of it
  EXPECT_EQ(attribute(s, found[1], CKA_LABEL), Bytes(label.begin(), label.end()));
}

TEST_F(ModuleTest, CertificatesKeepWhatTheyAreAndTheirNewLabel) {
  initToken();
  CK_SESSION_HANDLE s = openSession();
  login(s);
  Bytes der = selfSignedCertificate();
  CK_OBJECT_CLASS certClass = CKO_CERTIFICATE;
  CK_CERTIFICATE_TYPE x509 = CKC_X_509;
  CK_BBOOL yes = CK_TRUE;
  CK_ATTRIBUTE tmpl[] = {{CKA_CLASS, &certClass, sizeof certClass},
                         {CKA_CERTIFICATE_TYPE, &x509, sizeof x509},
                         {CKA_TOKEN, &yes, 1},
                         {CKA_VALUE, der.data(), der.size()}};
  CK_OBJECT_HANDLE cert = 0;
  ASSERT_EQ(c::CreateObject(s, tmpl, 4, &cert), CKR_OK);
  Bytes id = {0x42};
  std::string label = "renamed";
  CK_ATTRIBUTE change[] = {labelled(label), {CKA_ID, id.data(), 1}};
  ASSERT_EQ(c::SetAttributeValue(s, cert, change, 2), CKR_OK);
  CK_ATTRIBUTE value = {CKA_VALUE, der.data(), der.size()};
  EXPECT_EQ(c::SetAttributeValue(s, cert, &value, 1), CKR_ATTRIBUTE_READ_ONLY);

  ASSERT_EQ(c::Finalize(nullptr), CKR_OK);  // everything read afresh
  ASSERT_EQ(c::Initialize(nullptr), CKR_OK);
  s = openSession();
  const auto found = find(s, {{CKA_ID, id.data(), 1}});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(attribute(s, found[0], CKA_VALUE), der);
  EXPECT_EQ(attribute(s, found[0], CKA_LABEL), Bytes(label.begin(), label.end()));
  const unsigned char* p = der.data();
  std::unique_ptr<X509, decltype(&X509_free)> parsed(d2i_X509(nullptr, &p, static_cast<long>(der.size())), &X509_free);
  unsigned char* subject = nullptr;
  const int n = i2d_X509_NAME(X509_get_subject_name(parsed.get()), &subject);
  EXPECT_EQ(attribute(s, found[0], CKA_SUBJECT), Bytes(subject, subject + n));
  OPENSSL_free(subject);
  EXPECT_EQ(attribute(s, found[0], CKA_SERIAL_NUMBER), (Bytes{0x02, 0x01, 77}));
}

}  // namespace
}  // namespace p11test

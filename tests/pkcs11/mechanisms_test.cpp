// Private-key operations on the token, checked with libcrypto and the
// key's published modulus; two threads at once (fork_test.cpp: two
// processes; engine_test.cpp: while an ENGINE claims RSA).
#include <openssl/rsa.h>

#include <thread>

#include "key_fixture.h"
#include "support/rsa_test_keys.h"

namespace p11test {
namespace {

TEST_F(KeyTest, SignaturesVerifyWithLibcrypto) {
  struct Case {
    CK_MECHANISM_TYPE mechanism;
    const EVP_MD* md;
  };
  for (const Case& k : {Case{CKM_SHA1_RSA_PKCS, EVP_sha1()}, Case{CKM_SHA224_RSA_PKCS, EVP_sha224()},
                        Case{CKM_SHA256_RSA_PKCS, EVP_sha256()}, Case{CKM_SHA384_RSA_PKCS, EVP_sha384()},
                        Case{CKM_SHA512_RSA_PKCS, EVP_sha512()}}) {
    Bytes signature;
    ASSERT_EQ(sign(s_, key_, {k.mechanism, nullptr, 0}, kMessage, signature), CKR_OK);
    EXPECT_TRUE(verifies(signature, kMessage, RSA_PKCS1_PADDING, k.md)) << std::hex << k.mechanism;
  }
  Bytes signature;
  const Bytes info = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e, 0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};
  ASSERT_EQ(sign(s_, key_, {CKM_RSA_PKCS, nullptr, 0}, info, signature), CKR_OK);
  EXPECT_TRUE(verifies(signature, info, RSA_PKCS1_PADDING, nullptr));
  ASSERT_EQ(sign(s_, key_, {CKM_RSA_PKCS, nullptr, 0}, Bytes(118, 1), signature), CKR_DATA_LEN_RANGE);

  CK_RSA_PKCS_PSS_PARAMS pss = {CKM_SHA256, CKG_MGF1_SHA256, 32};
  ASSERT_EQ(sign(s_, key_, {CKM_SHA256_RSA_PKCS_PSS, &pss, sizeof pss}, kMessage, signature), CKR_OK);
  EXPECT_TRUE(verifies(signature, kMessage, RSA_PKCS1_PSS_PADDING, EVP_sha256(), 32));
  pss.sLen = 63;  // with SHA-256, at most 94 bytes of salt fit 1024 bits
  ASSERT_EQ(sign(s_, key_, {CKM_SHA256_RSA_PKCS_PSS, &pss, sizeof pss}, kMessage, signature), CKR_OK);
  EXPECT_TRUE(verifies(signature, kMessage, RSA_PKCS1_PSS_PADDING, EVP_sha256(), 63));
  CK_RSA_PKCS_PSS_PARAMS tooLong = {CKM_SHA512, CKG_MGF1_SHA512, 64};
  CK_MECHANISM sha512Pss = {CKM_SHA512_RSA_PKCS_PSS, &tooLong, sizeof tooLong};
  EXPECT_EQ(c::SignInit(s_, &sha512Pss, key_), CKR_MECHANISM_PARAM_INVALID);

  // The module's own verification agrees, and refuses a changed message.
  CK_MECHANISM m = {CKM_SHA256_RSA_PKCS_PSS, &pss, sizeof pss};
  const CK_OBJECT_HANDLE publicKey = key_ - 1;
  Bytes data = kMessage;
  ASSERT_EQ(c::VerifyInit(s_, &m, publicKey), CKR_OK);
  EXPECT_EQ(c::Verify(s_, data.data(), data.size(), signature.data(), signature.size()), CKR_OK);
  data[0] ^= 1;
  ASSERT_EQ(c::VerifyInit(s_, &m, publicKey), CKR_OK);
  EXPECT_EQ(c::Verify(s_, data.data(), data.size(), signature.data(), signature.size()),
            CKR_SIGNATURE_INVALID);
}

// The openssl command and curl register an ENGINE for RSA before they load
// the module: its keys still open, sign and verify.
TEST_F(KeyTest, RawInputMustLieBelowTheModulus) {
  const Bytes modulus = attribute(s_, key_, CKA_MODULUS);
  Bytes signature;
  EXPECT_EQ(sign(s_, key_, {CKM_RSA_X_509, nullptr, 0}, modulus, signature), CKR_DATA_INVALID);
  Bytes below = modulus;
  below[127] ^= 1;
  below[0] -= 1;
  ASSERT_EQ(sign(s_, key_, {CKM_RSA_X_509, nullptr, 0}, below, signature), CKR_OK);
  EXPECT_TRUE(verifies(signature, below, RSA_NO_PADDING, nullptr));
}

TEST_F(KeyTest, PartsAndBufferSizesFollowTheStandard) {
  CK_MECHANISM m = {CKM_SHA256_RSA_PKCS, nullptr, 0};
  ASSERT_EQ(c::SignInit(s_, &m, key_), CKR_OK);
  Bytes first(kMessage.begin(), kMessage.begin() + 3);
  Bytes rest(kMessage.begin() + 3, kMessage.end());
  ASSERT_EQ(c::SignUpdate(s_, first.data(), first.size()), CKR_OK);
  ASSERT_EQ(c::SignUpdate(s_, rest.data(), rest.size()), CKR_OK);
  CK_ULONG length = 0;
  ASSERT_EQ(c::SignFinal(s_, nullptr, &length), CKR_OK);
  EXPECT_EQ(length, 128u);
  Bytes parts(length);
  length = 10;
  ASSERT_EQ(c::SignFinal(s_, parts.data(), &length), CKR_BUFFER_TOO_SMALL);
  length = parts.size();
  ASSERT_EQ(c::SignFinal(s_, parts.data(), &length), CKR_OK);
  Bytes whole;
  ASSERT_EQ(sign(s_, key_, m, kMessage, whole), CKR_OK);
  EXPECT_EQ(parts, whole);  // PKCS #1 v1.5 signatures are deterministic
  EXPECT_EQ(c::SignFinal(s_, parts.data(), &length), CKR_OPERATION_NOT_INITIALIZED);
}

TEST_F(KeyTest, DecryptsWhatLibcryptoEncrypts) {
  const Bytes secret = {'k', 'e', 'y', 0, 1, 2};
  Bytes plain;
  ASSERT_EQ(decrypt({CKM_RSA_PKCS, nullptr, 0}, encryptWithLibcrypto(secret, RSA_PKCS1_PADDING), plain), CKR_OK);
  EXPECT_EQ(plain, secret);

  const Bytes label = {'l', 'b', 'l'};
  CK_RSA_PKCS_OAEP_PARAMS oaep = {CKM_SHA_1, CKG_MGF1_SHA1, CKZ_DATA_SPECIFIED,
                                  const_cast<std::uint8_t*>(label.data()), label.size()};
  const Bytes cipher = encryptWithLibcrypto(secret, RSA_PKCS1_OAEP_PADDING, EVP_sha1(), label);
  ASSERT_EQ(decrypt({CKM_RSA_PKCS_OAEP, &oaep, sizeof oaep}, cipher, plain), CKR_OK);
  EXPECT_EQ(plain, secret);
  oaep.ulSourceDataLen = 2;  // another label
  EXPECT_EQ(decrypt({CKM_RSA_PKCS_OAEP, &oaep, sizeof oaep}, cipher, plain), CKR_ENCRYPTED_DATA_INVALID);
  CK_RSA_PKCS_OAEP_PARAMS sha256 = {CKM_SHA256, CKG_MGF1_SHA256, CKZ_DATA_SPECIFIED, nullptr, 0};
  ASSERT_EQ(decrypt({CKM_RSA_PKCS_OAEP, &sha256, sizeof sha256},
                    encryptWithLibcrypto(secret, RSA_PKCS1_OAEP_PADDING, EVP_sha256()), plain),
            CKR_OK);
  EXPECT_EQ(plain, secret);

  // A block that is not PKCS #1 encryption padding.
  Bytes raw(128, 0x11);
  raw[0] = 0;
  EXPECT_EQ(decrypt({CKM_RSA_PKCS, nullptr, 0}, encryptWithLibcrypto(raw, RSA_NO_PADDING), plain),
            CKR_ENCRYPTED_DATA_INVALID);
  ASSERT_EQ(decrypt({CKM_RSA_X_509, nullptr, 0}, encryptWithLibcrypto(raw, RSA_NO_PADDING), plain), CKR_OK);
  EXPECT_EQ(plain, raw);
}

TEST_F(KeyTest, RandomBytesOfAnyLength) {
  Bytes a(1000), b(1000);
  EXPECT_EQ(c::GenerateRandom(s_, nullptr, 0), CKR_OK);
  ASSERT_EQ(c::GenerateRandom(s_, a.data(), a.size()), CKR_OK);
  ASSERT_EQ(c::GenerateRandom(s_, b.data(), b.size()), CKR_OK);
  EXPECT_NE(a, b);
  EXPECT_EQ(c::SeedRandom(s_, a.data(), 8), CKR_RANDOM_SEED_NOT_SUPPORTED);
}

TEST_F(KeyTest, TwoThreadsSignAtOnce) {
  const CK_SESSION_HANDLE other = openSession();
  bool threadOk = false;
  std::thread thread([&] { threadOk = signManyTimes(other, 20); });
  const bool mainOk = signManyTimes(s_, 20);
  thread.join();
  EXPECT_TRUE(mainOk);
  EXPECT_TRUE(threadOk);
}

}  // namespace
}  // namespace p11test

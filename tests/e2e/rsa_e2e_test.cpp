#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "keys/key_pair_counter.h"
#include "norv_dal_tkp30.h"
#include "support/e2e_rsa_helpers.h"
#include "support/e2e_token.h"
#include "support/rsa_test_keys.h"

namespace {

using rsatest::Bytes;

class RsaOnToken : public e2e::TokenTest {
 protected:
  void formatAndLogin() {
    format();
    ASSERT_EQ(NORV_DAL_Login(2, e2e::kUserPin.data(), static_cast<int32_t>(e2e::kUserPin.size())),
              0);
  }
  Bytes publicKey(int32_t pubId) {
    Bytes n(128);
    int32_t len = 0;
    EXPECT_EQ(NORV_DAL_GetPublicKey(pubId, n.data(), &len), 0);
    EXPECT_EQ(len, 128);
    return n;
  }
  Bytes privateOperation(int32_t priId, const Bytes& block) {
    Bytes out(128);
    int32_t len = 0;
    EXPECT_EQ(NORV_DAL_RsaPrivateKeyRaw(priId, block.data(), 128, out.data(), &len), 0);
    EXPECT_EQ(len, 128);
    return out;
  }
};

TEST_F(RsaOnToken, GeneratedPairSignsWhatSoftwareAndTheOpensslToolVerify) {
  formatAndLogin();
  int32_t pub = 0, pri = 0;
  ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), 0);
  EXPECT_EQ(pub, 0x0800);
  EXPECT_EQ(pri, 0x0820);
  const Bytes n = publicKey(pub);
  ASSERT_NE(n[0], 0x00);  // a full 1024-bit modulus, big-endian

  const Bytes message = {'t', 'o', 'k', 'e', 'n', ' ', 's', 'i', 'g', 'n', 's'};
  const Bytes block = rsatest::sha256SignatureBlock(message, 128);
  const Bytes signature = privateOperation(pri, block);

  Bytes recovered(128);
  int32_t recoveredLen = 0;
  ASSERT_EQ(NORV_DAL_Pkcs1RsaPublicKeyDec(n.data(), 128, signature.data(), 128, recovered.data(),
                                          &recoveredLen),
            0);
  ASSERT_EQ(recoveredLen, 51);
  EXPECT_TRUE(std::equal(block.end() - 51, block.end(), recovered.begin()));

  const std::string pem = rsatest::publicPem(rsatest::publicKey(n).get());
  EXPECT_TRUE(e2e::opensslVerifiesSha256(pem, message, signature));
  Bytes other = message;
  other.back() ^= 0x01;
  EXPECT_FALSE(e2e::opensslVerifiesSha256(pem, other, signature));
}

TEST_F(RsaOnToken, ImportedPairMatchesOpensslsPrivateOperation) {
  formatAndLogin();
  const rsatest::Pkey key = rsatest::generate(1024);
  const Bytes n = rsatest::modulus(key.get());
  std::vector<Bytes> crt;
  for (const char* name :
       {OSSL_PKEY_PARAM_RSA_FACTOR1, OSSL_PKEY_PARAM_RSA_FACTOR2, OSSL_PKEY_PARAM_RSA_EXPONENT1,
        OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1}) {
    crt.push_back(rsatest::param(key.get(), name, 64));
  }
  int32_t pub = 0, pri = 0;
  ASSERT_EQ(NORV_DAL_ImportRsaKeyPair(0, n.data(), 0, crt[0].data(), crt[1].data(), crt[2].data(),
                                      crt[3].data(), crt[4].data(), &pub, &pri),
            0);
  EXPECT_EQ(pub, 0x0800);
  EXPECT_EQ(pri, 0x0820);
  EXPECT_EQ(publicKey(pub), n);

  for (std::uint8_t seed : Bytes{0x01, 0x5A, 0x7F}) {
    Bytes block(128, seed);
    block[0] = 0x00;
    EXPECT_TRUE(privateOperation(pri, block) == rsatest::privateRaw(key.get(), block));
  }
  // The next pair goes into the next slot.
  ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), 0);
  EXPECT_EQ(pub, 0x0801);
  EXPECT_EQ(pri, 0x0821);
}

TEST_F(RsaOnToken, SoftwareEncryptionDecryptsOnTheToken) {
  formatAndLogin();
  int32_t pub = 0, pri = 0;
  ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), 0);
  const Bytes n = publicKey(pub);
  const Bytes secret = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 0x01, 0x23};
  Bytes cipher(128);
  int32_t cipherLen = 0;
  ASSERT_EQ(
      NORV_DAL_Pkcs1RsaPublicKeyEnc(n.data(), 128, secret.data(),
                                    static_cast<int32_t>(secret.size()), cipher.data(), &cipherLen),
      0);
  ASSERT_EQ(cipherLen, 128);
  const Bytes block = privateOperation(pri, cipher);
  EXPECT_EQ(block[0], 0x00);
  EXPECT_EQ(block[1], 0x02);
  EXPECT_EQ(block[128 - secret.size() - 1], 0x00);
  EXPECT_TRUE(std::equal(secret.begin(), secret.end(), block.end() - 10));
}

TEST_F(RsaOnToken, PrivateOperationNeedsTheUserLoggedIn) {
  formatAndLogin();
  int32_t pub = 0, pri = 0;
  ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), 0);
  powerCycle();
  Bytes out(128, 0xEE);
  int32_t len = -7;
  const Bytes block(128, 0x01);
  EXPECT_EQ(NORV_DAL_RsaPrivateKeyRaw(pri, block.data(), 128, out.data(), &len), NORV_DAL_ERR_RSA);
  EXPECT_EQ(out, Bytes(128, 0xEE));
  EXPECT_EQ(len, -7);
}

TEST_F(RsaOnToken, FifthPairIsRefusedAndFormattingResetsTheCounter) {
  formatAndLogin();
  std::set<Bytes> moduli;
  int32_t pub = 0, pri = 0;
  for (int32_t slot = 0; slot < 4; ++slot) {
    ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), 0);
    EXPECT_EQ(pub, 0x0800 + slot);
    EXPECT_EQ(pri, 0x0820 + slot);
    moduli.insert(publicKey(pub));
  }
  EXPECT_EQ(moduli.size(), 4u);
  for (int attempt = 0; attempt < 2; ++attempt) {  // the counter stays at 4
    EXPECT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), NORV_DAL_ERR_CREATE_FILE);
    EXPECT_EQ(pub, 0x0804);
    EXPECT_EQ(pri, 0x0824);
  }
  EXPECT_EQ(dal::readKeyPairCounter(), std::optional<std::uint16_t>(4));
  formatAndLogin();
  EXPECT_EQ(dal::readKeyPairCounter(), std::optional<std::uint16_t>(0));
  ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), 0);
  EXPECT_EQ(pub, 0x0800);
  EXPECT_EQ(pri, 0x0820);
  EXPECT_EQ(dal::readKeyPairCounter(), std::optional<std::uint16_t>(1));
}

TEST_F(RsaOnToken, RandomBytesOfAnyLengthAndFreshEachTime) {
  format();
  for (int32_t length : {1, 8, 78, 79, 1000}) {
    Bytes buffer(static_cast<std::size_t>(length) + 1, 0xEE);
    ASSERT_EQ(NORV_DAL_GenRand(length, buffer.data()), 0) << length;
    EXPECT_EQ(buffer.back(), 0xEE) << length;
  }
  Bytes first(1000), second(1000);
  ASSERT_EQ(NORV_DAL_GenRand(1000, first.data()), 0);
  ASSERT_EQ(NORV_DAL_GenRand(1000, second.data()), 0);
  EXPECT_FALSE(first == second);
  // 1000 bytes from a working generator are not one repeated 78-byte block.
  EXPECT_FALSE(std::equal(first.begin(), first.begin() + 78, first.begin() + 78));
  EXPECT_EQ(NORV_DAL_GenRand(0, nullptr), 0);
}

}  // namespace

// The token's public keys in the forms other programs read, built even
// where an application has registered an ENGINE for RSA.
#include "common/rsa_public_key.h"

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include "support/rsa_claiming_engine.h"

namespace {

TEST(RsaPublicKey, BuiltWhileAnEngineClaimsRsa) {
  std::vector<std::uint8_t> modulus(128, 0x5A);
  modulus.front() = 0xC1;
  modulus.back() = 0x01;
  const RsaClaimingEngine engine;
  ASSERT_TRUE(engine.registered());
  const auto key = common::rsaPublicKey(modulus);
  ASSERT_TRUE(key);
  const std::vector<std::uint8_t> der = common::subjectPublicKeyInfo(key.get());
  const unsigned char* p = der.data();
  EVP_PKEY* parsed = d2i_PUBKEY(nullptr, &p, static_cast<long>(der.size()));
  ASSERT_NE(parsed, nullptr);
  EXPECT_EQ(EVP_PKEY_get_bits(parsed), 1024);
  EVP_PKEY_free(parsed);
}

}  // namespace

// The token's public keys in the forms other programs read, built even
// where an application has registered an ENGINE for RSA.
#include <gtest/gtest.h>
#include <openssl/x509.h>

#include "rsa_public_key.h"
#include "support/rsa_claiming_engine.h"

namespace {

TEST(ToolPublicKey, BuiltWhileAnEngineClaimsRsa) {
  std::vector<std::uint8_t> modulus(128, 0x5A);
  modulus.front() = 0xC1;
  modulus.back() = 0x01;
  const RsaClaimingEngine engine;
  ASSERT_TRUE(engine.registered());
  const std::vector<std::uint8_t> der = tkp30::publicKeyDer(modulus);
  const unsigned char* p = der.data();
  EVP_PKEY* key = d2i_PUBKEY(nullptr, &p, static_cast<long>(der.size()));
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(EVP_PKEY_get_bits(key), 1024);
  EVP_PKEY_free(key);
}

}  // namespace

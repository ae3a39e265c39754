// The module's keys while an ENGINE claims RSA as the process's default,
// as the openssl command and curl do with libp11's pkcs11 engine.
#include "key_fixture.h"
#include "support/rsa_claiming_engine.h"

namespace p11test {
namespace {

TEST_F(KeyTest, KeysServeWhileAnEngineClaimsRsa) {
  ASSERT_EQ(c::Finalize(nullptr), CKR_OK);
  const RsaClaimingEngine engine;
  ASSERT_TRUE(engine.registered());
  ASSERT_EQ(c::Initialize(nullptr), CKR_OK);
  s_ = openSession();
  login(s_);
  Bytes signature;
  ASSERT_EQ(sign(s_, key_, {CKM_SHA256_RSA_PKCS, nullptr, 0}, kMessage, signature), CKR_OK);
  CK_OBJECT_CLASS publicClass = CKO_PUBLIC_KEY;
  const auto found = find(s_, {{CKA_CLASS, &publicClass, sizeof publicClass}});
  ASSERT_EQ(found.size(), 1u);
  CK_MECHANISM m = {CKM_SHA256_RSA_PKCS, nullptr, 0};
  Bytes data = kMessage;
  ASSERT_EQ(c::VerifyInit(s_, &m, found[0]), CKR_OK);
  EXPECT_EQ(c::Verify(s_, data.data(), data.size(), signature.data(), signature.size()), CKR_OK);
}

}  // namespace
}  // namespace p11test

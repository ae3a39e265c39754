// RSA and SSF33 (SM4) on the emulated card, and the T=0 response handling.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <memory>

#include "support/emu_token.h"

using namespace emu_test;

namespace {

// m^65537 mod n, big-endian, 128 bytes: the public operation the library
// applies in software.
Bytes publicOp(const Bytes& modulus, const Bytes& in) {
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM* n = BN_bin2bn(modulus.data(), 128, nullptr);
  BIGNUM* m = BN_bin2bn(in.data(), static_cast<int>(in.size()), nullptr);
  BIGNUM* e = BN_new();
  BN_set_word(e, 65537);
  BIGNUM* r = BN_new();
  BN_mod_exp(r, m, e, n, ctx);
  Bytes out(128);
  BN_bn2binpad(r, out.data(), 128);
  BN_free(n); BN_free(m); BN_free(e); BN_free(r);
  BN_CTX_free(ctx);
  return out;
}

Bytes sampleBlock() {
  Bytes b(128);
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 1);
  b[0] = 0x00;  // below any 1024-bit modulus
  return b;
}

class CardCrypto : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(card.format("12345678", "654321")); }
  void loginUser() { ASSERT_EQ(card.send(cat({hex("00 20 11 00 06"), bytesOf("654321")})).sw, 0x9000); }
  Bytes privateOp(std::uint16_t id, const Bytes& in, std::uint16_t& sw, bool withLe = true) {
    Bytes cmd = cat({{0x80, 0x72, static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8), 0x80}, in});
    if (withLe) cmd.push_back(0x80);
    auto r = card.send(cmd);
    sw = r.sw;
    return card.data(r);
  }
  Bytes readModulus(std::uint16_t id) {
    card.send({0x00, 0xA4, 0x02, 0x00, 0x02, static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8)});
    auto r = card.send(hex("80 78 00 02 80"));
    EXPECT_EQ(r.sw, 0x9000);
    return card.data(r);
  }
  TempDir dir;
  Card card{dir.file("token.img")};
};

TEST_F(CardCrypto, GeneratedKeyPairSignsAndVerifies) {
  EXPECT_EQ(card.sw("80 70 00 00 04 00 08 20 08"), 0x6982);  // write byte 1F: a PIN first
  loginUser();
  EXPECT_EQ(card.sw("80 70 00 00 04 00 08 20 08"), 0x9000);
  EXPECT_EQ(card.sw("80 70 00 00 04 00 08 07 08"), 0x6A82);
  EXPECT_EQ(card.sw("80 70 00 00 04 20 08 00 08"), 0x6981);  // halves swapped
  const Bytes n = readModulus(0x0800);
  ASSERT_EQ(n.size(), 128u);
  EXPECT_GE(n[0], 0x80);  // a full 1024-bit modulus
  std::uint16_t sw = 0;
  const Bytes sig = privateOp(0x0820, sampleBlock(), sw);
  ASSERT_EQ(sw, 0x9000);
  EXPECT_EQ(publicOp(n, sig), sampleBlock());
  // The Le byte may be missing.
  EXPECT_EQ(privateOp(0x0820, sampleBlock(), sw, false), sig);
  // Private components never come back; a public file has no private operation.
  card.sw("00 A4 02 00 02 20 08");
  EXPECT_EQ(card.sw("80 78 00 02 80"), 0x6982);
  privateOp(0x0800, sampleBlock(), sw);
  EXPECT_EQ(sw, 0x6981);
  privateOp(0x0821, sampleBlock(), sw);  // slot 1 holds no key yet
  EXPECT_EQ(sw, 0x6A88);
  // Without a login the private key is closed.
  card.sw("00 20 0F 00 08 38 30 36 34 32 37 31 39");
  privateOp(0x0820, sampleBlock(), sw);
  EXPECT_EQ(sw, 0x6982);
}

TEST_F(CardCrypto, ImportedCrtComponentsAloneServeThePrivateOperation) {
  EVP_PKEY* pkey = EVP_RSA_gen(1024);
  ASSERT_NE(pkey, nullptr);
  const char* names[] = {OSSL_PKEY_PARAM_RSA_N, OSSL_PKEY_PARAM_RSA_FACTOR1,
                         OSSL_PKEY_PARAM_RSA_FACTOR2, OSSL_PKEY_PARAM_RSA_EXPONENT1,
                         OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1};
  std::vector<Bytes> parts;
  for (int i = 0; i < 6; ++i) {
    BIGNUM* bn = nullptr;
    ASSERT_EQ(EVP_PKEY_get_bn_param(pkey, names[i], &bn), 1);
    Bytes b(i == 0 ? 128 : 64);
    BN_bn2binpad(bn, b.data(), static_cast<int>(b.size()));
    BN_free(bn);
    parts.push_back(b);
  }
  EVP_PKEY_free(pkey);
  loginUser();
  card.sw("00 A4 02 00 02 01 08");
  EXPECT_EQ(card.sw("80 76 00 01 04 01 00 01 00"), 0x9000);
  EXPECT_EQ(card.send(cat({hex("80 76 00 02 80"), parts[0]})).sw, 0x9000);
  EXPECT_EQ(card.send(cat({hex("80 76 00 03 40"), parts[1]})).sw, 0x6981);  // wrong file
  EXPECT_EQ(card.sw("80 76 00 02 02 01 02"), 0x6700);
  EXPECT_EQ(card.sw("80 76 00 08 02 01 02"), 0x6A86);
  card.sw("00 A4 02 00 02 21 08");
  for (std::uint8_t i = 1; i <= 5; ++i)
    EXPECT_EQ(card.send(cat({{0x80, 0x76, 0x00, static_cast<std::uint8_t>(i + 2), 0x40}, parts[i]})).sw, 0x9000);
  EXPECT_EQ(readModulus(0x0801), parts[0]);
  std::uint16_t sw = 0;
  const Bytes sig = privateOp(0x0821, sampleBlock(), sw);
  ASSERT_EQ(sw, 0x9000);
  EXPECT_EQ(publicOp(parts[0], sig), sampleBlock());
  // An input not below the modulus is refused.
  privateOp(0x0821, Bytes(128, 0xFF), sw);
  EXPECT_EQ(sw, 0x6A80);
}

// SM4 known answer (the published example): key = plaintext =
// 0123456789ABCDEFFEDCBA9876543210, ciphertext 681EDF34D206965E86B3E94F536E4246.
TEST_F(CardCrypto, Ssf33IsSm4InEcbAndCbc) {
  const Bytes key = hex("0123456789ABCDEFFEDCBA9876543210");
  const Bytes pt = key;
  const Bytes ct = hex("681EDF34D206965E86B3E94F536E4246");
  EXPECT_EQ(card.send(cat({hex("80 C4 00 00 10"), pt})).sw, 0x6985);  // no key loaded
  ASSERT_EQ(card.send(cat({hex("80 C2 40 08 10"), key})).sw, 0x9000);
  auto r = card.send(cat({hex("80 C4 00 00 10"), pt}));  // 21 bytes, no Le
  EXPECT_EQ(r.sw, 0x9000);
  EXPECT_EQ(card.data(r), ct);
  r = card.send(cat({hex("80 C4 00 00 10"), pt, {0x10}}));  // with Le
  EXPECT_EQ(card.data(r), ct);
  EXPECT_EQ(card.sw("80 C6 00 00 00"), 0x9000);
  EXPECT_EQ(card.send(cat({hex("80 C4 00 00 10"), pt})).sw, 0x6985);  // END cleared it
  ASSERT_EQ(card.send(cat({hex("80 C2 C0 08 10"), key})).sw, 0x9000);
  EXPECT_EQ(card.data(card.send(cat({hex("80 C4 00 00 10"), ct}))), pt);
  // CBC over two blocks with IV = 0: block 2 = E(P2 xor C1); decryption inverts it.
  const Bytes iv(16, 0);
  ASSERT_EQ(card.send(cat({hex("80 C2 41 08 20"), key, iv})).sw, 0x9000);
  const Bytes c1 = card.data(card.send(cat({hex("80 C4 00 00 10"), pt})));
  const Bytes c2 = card.data(card.send(cat({hex("80 C4 00 00 10"), pt})));
  EXPECT_EQ(c1, ct);
  Bytes x(16);
  for (int i = 0; i < 16; ++i) x[static_cast<std::size_t>(i)] = pt[static_cast<std::size_t>(i)] ^ c1[static_cast<std::size_t>(i)];
  ASSERT_EQ(card.send(cat({hex("80 C2 40 08 10"), key})).sw, 0x9000);
  EXPECT_EQ(card.data(card.send(cat({hex("80 C4 00 00 10"), x}))), c2);
  ASSERT_EQ(card.send(cat({hex("80 C2 C1 08 20"), key, iv})).sw, 0x9000);
  EXPECT_EQ(card.data(card.send(cat({hex("80 C4 00 00 10"), c1}))), pt);
  EXPECT_EQ(card.data(card.send(cat({hex("80 C4 00 00 10"), c2}))), pt);
  // Keys: longer ones use their first 16 bytes, shorter ones are refused.
  ASSERT_EQ(card.send(cat({hex("80 C2 40 08 14"), key, hex("AABBCCDD")})).sw, 0x9000);
  EXPECT_EQ(card.data(card.send(cat({hex("80 C4 00 00 10"), pt}))), ct);
  EXPECT_EQ(card.sw("80 C2 40 08 08 01 02 03 04 05 06 07 08"), 0x6700);
  EXPECT_EQ(card.send(cat({hex("80 C2 41 08 10"), key})).sw, 0x6700);  // CBC without IV
  EXPECT_EQ(card.send(cat({hex("80 C2 00 08 10"), key})).sw, 0x6A86);
  EXPECT_EQ(card.sw("80 C4 00 00 03 01 02 03"), 0x6700);
}

TEST_F(CardCrypto, T0DeliversCaseFourDataThroughGetResponseOnly) {
  std::string error;
  ASSERT_TRUE(tkp30emu::setTokenOptions(dir.file("token.img"), {.t0 = true}, error)) << error;
  const Bytes key = hex("0123456789ABCDEFFEDCBA9876543210");
  ASSERT_EQ(card.send(cat({hex("80 C2 40 08 10"), key})).sw, 0x9000);
  EXPECT_EQ(card.send(cat({hex("80 C4 00 00 10"), key})).sw, 0x6110);
  auto r = card.send(hex("00 C0 00 00 10"));
  EXPECT_EQ(r.sw, 0x9000);
  EXPECT_EQ(card.data(r), hex("681EDF34D206965E86B3E94F536E4246"));
  EXPECT_EQ(card.sw("00 C0 00 00 10"), 0x6985);  // delivered once only
  // Another command in between loses the pending response.
  EXPECT_EQ(card.send(cat({hex("80 C4 00 00 10"), key})).sw, 0x6110);
  card.sw("00 A4 00 00 02 3F 00");
  EXPECT_EQ(card.sw("00 C0 00 00 10"), 0x6985);
  // Commands with data out only still answer at once.
  EXPECT_EQ(card.send(hex("00 84 00 00 08")).len, 8u);
  // A short GET RESPONSE leaves the rest for the next one.
  EXPECT_EQ(card.send(cat({hex("80 C4 00 00 10"), key})).sw, 0x6110);
  r = card.send(hex("00 C0 00 00 04"));
  EXPECT_EQ(r.sw, 0x610C);
  EXPECT_EQ(card.data(r), hex("681EDF34"));
  r = card.send(hex("00 C0 00 00 0C"));
  EXPECT_EQ(card.data(r), hex("D206965E86B3E94F536E4246"));
  // The setting lives in the image: switching it off answers at once again.
  ASSERT_TRUE(tkp30emu::setTokenOptions(dir.file("token.img"), {.t0 = false}, error)) << error;
  EXPECT_EQ(card.send(cat({hex("80 C4 00 00 10"), key})).sw, 0x9000);
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "norv_dal_tkp30.h"
#include "support/log_reader.h"
#include "support/rsa_test_keys.h"
#include "support/scripted_device.h"

namespace {

using rsatest::Bytes;

struct KeyUnderTest {
  rsatest::Pkey key;
  Bytes n;
};

KeyUnderTest& key1024() {
  static KeyUnderTest k{rsatest::generate(1024), {}};
  if (k.n.empty()) k.n = rsatest::modulus(k.key.get());
  return k;
}

KeyUnderTest& key2048() {
  static KeyUnderTest k{rsatest::generate(2048), {}};
  if (k.n.empty()) k.n = rsatest::modulus(k.key.get());
  return k;
}

Bytes pattern(std::size_t size, std::uint8_t seed) {
  Bytes out(size);
  for (std::size_t k = 0; k < size; ++k) out[k] = static_cast<std::uint8_t>(seed + 13 * k);
  return out;
}

bool logged(const std::string& text) {
  const auto texts = testlog::texts();
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

using Operation = int32_t (*)(const uint8_t*, uint32_t, const uint8_t*, int32_t, uint8_t*,
                              int32_t*);

class SoftwareRsa : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::reset();
    testlog::clear();
  }
  int32_t run(Operation op, const Bytes& n, const Bytes& in) {
    return op(n.data(), static_cast<uint32_t>(n.size()), in.data(),
              static_cast<int32_t>(in.size()), out.data(), &outLen);
  }
  Bytes produced() const { return Bytes(out.begin(), out.begin() + outLen); }
  Bytes out = Bytes(256, 0xEE);
  int32_t outLen = -7;
};

TEST_F(SoftwareRsa, OnlyModulusLengths128And256) {
  const Bytes n(129, 0xC5);
  const Bytes in(129, 0x01);
  for (Operation op : {&NORV_DAL_RsaPublicKeyRaw, &NORV_DAL_Pkcs1RsaPublicKeyEnc,
                       &NORV_DAL_Pkcs1RsaPublicKeyDec}) {
    EXPECT_EQ(run(op, n, in), NORV_DAL_ERR_MODULUS_LEN);
    EXPECT_EQ(run(op, Bytes(64, 0xC5), in), NORV_DAL_ERR_MODULUS_LEN);
  }
  EXPECT_TRUE(logged("******>n len"));
  EXPECT_EQ(outLen, -7);
  EXPECT_TRUE(scripted::commands().empty());
  EXPECT_TRUE(scripted::openCalls().empty());  // software calls never open the token
}

TEST_F(SoftwareRsa, MissingPointersAndNegativeLengthAreParameterErrors) {
  const Bytes& n = key1024().n;
  const Bytes in(128, 0x01);
  for (Operation op : {&NORV_DAL_RsaPublicKeyRaw, &NORV_DAL_Pkcs1RsaPublicKeyEnc,
                       &NORV_DAL_Pkcs1RsaPublicKeyDec}) {
    EXPECT_EQ(op(nullptr, 128, in.data(), 128, out.data(), &outLen), NORV_DAL_ERR_PARAM);
    EXPECT_EQ(op(n.data(), 128, nullptr, 128, out.data(), &outLen), NORV_DAL_ERR_PARAM);
    EXPECT_EQ(op(n.data(), 128, in.data(), 128, nullptr, &outLen), NORV_DAL_ERR_PARAM);
    EXPECT_EQ(op(n.data(), 128, in.data(), 128, out.data(), nullptr), NORV_DAL_ERR_PARAM);
    EXPECT_EQ(op(n.data(), 128, in.data(), -1, out.data(), &outLen), NORV_DAL_ERR_PARAM);
  }
  EXPECT_EQ(outLen, -7);
}

TEST_F(SoftwareRsa, RawOperationUndoesThePrivateKeyAndKeepsTheModulusLength) {
  for (KeyUnderTest* k : {&key1024(), &key2048()}) {
    Bytes message = pattern(k->n.size(), 0x05);
    message[0] = 0x00;  // below the modulus
    const Bytes signature = rsatest::privateRaw(k->key.get(), message);
    ASSERT_EQ(run(&NORV_DAL_RsaPublicKeyRaw, k->n, signature), 0);
    EXPECT_EQ(outLen, static_cast<int32_t>(k->n.size()));
    EXPECT_EQ(produced(), message);
  }
  // 1 ^ e = 1, written at the full modulus length.
  Bytes one(128, 0x00);
  one.back() = 0x01;
  ASSERT_EQ(run(&NORV_DAL_RsaPublicKeyRaw, key1024().n, one), 0);
  EXPECT_EQ(produced(), one);

  EXPECT_EQ(run(&NORV_DAL_RsaPublicKeyRaw, key1024().n, Bytes(127, 0x01)), NORV_DAL_ERR_RSA);
  EXPECT_EQ(run(&NORV_DAL_RsaPublicKeyRaw, key1024().n, Bytes(128, 0xFF)), NORV_DAL_ERR_RSA);
  EXPECT_TRUE(logged("******>NORV_DAL_RsaPublicKeyRaw"));
}

TEST_F(SoftwareRsa, Pkcs1EncryptionMakesAType2BlockUpToTheLimit) {
  const KeyUnderTest& k = key1024();
  const Bytes message = pattern(117, 0x21);
  ASSERT_EQ(run(&NORV_DAL_Pkcs1RsaPublicKeyEnc, k.n, message), 0);
  ASSERT_EQ(outLen, 128);
  const Bytes block = rsatest::privateRaw(k.key.get(), produced());
  ASSERT_EQ(block.size(), 128u);
  EXPECT_EQ(block[0], 0x00);
  EXPECT_EQ(block[1], 0x02);
  EXPECT_TRUE(std::none_of(block.begin() + 2, block.begin() + 10, [](auto b) { return b == 0; }));
  EXPECT_EQ(block[10], 0x00);
  EXPECT_TRUE(std::equal(message.begin(), message.end(), block.begin() + 11));

  outLen = -7;
  EXPECT_EQ(run(&NORV_DAL_Pkcs1RsaPublicKeyEnc, k.n, pattern(118, 0x21)), NORV_DAL_ERR_RSA);
  EXPECT_EQ(outLen, -7);
  EXPECT_TRUE(logged("******>Tesselar_Pkcs1RsaPublicKeyEnc"));

  ASSERT_EQ(run(&NORV_DAL_Pkcs1RsaPublicKeyEnc, key2048().n, pattern(245, 0x21)), 0);
  EXPECT_EQ(outLen, 256);
}

TEST_F(SoftwareRsa, Pkcs1DecryptionChecksTheType1Block) {
  const KeyUnderTest& k = key1024();
  const Bytes data = pattern(117, 0x33);
  const Bytes good = rsatest::privateRaw(k.key.get(), rsatest::type1Block(8, data));
  ASSERT_EQ(run(&NORV_DAL_Pkcs1RsaPublicKeyDec, k.n, good), 0);
  EXPECT_EQ(produced(), data);

  outLen = -7;
  const Bytes sevenFf = rsatest::privateRaw(k.key.get(), rsatest::type1Block(7, pattern(118, 1)));
  EXPECT_EQ(run(&NORV_DAL_Pkcs1RsaPublicKeyDec, k.n, sevenFf), NORV_DAL_ERR_RSA);
  const Bytes empty = rsatest::privateRaw(k.key.get(), rsatest::type1Block(125, {}));
  EXPECT_EQ(run(&NORV_DAL_Pkcs1RsaPublicKeyDec, k.n, empty), NORV_DAL_ERR_RSA);
  Bytes type2 = rsatest::type1Block(8, data);
  type2[1] = 0x02;
  EXPECT_EQ(run(&NORV_DAL_Pkcs1RsaPublicKeyDec, k.n, rsatest::privateRaw(k.key.get(), type2)),
            NORV_DAL_ERR_RSA);
  EXPECT_EQ(run(&NORV_DAL_Pkcs1RsaPublicKeyDec, k.n, Bytes(good.begin(), good.end() - 1)),
            NORV_DAL_ERR_RSA);
  EXPECT_EQ(outLen, -7);
  EXPECT_TRUE(logged("******>Tesselar_Pkcs1RsaPublicKeyDec"));

  const KeyUnderTest& big = key2048();
  const Bytes sig = rsatest::privateRaw(big.key.get(), rsatest::sha256SignatureBlock(data, 256));
  ASSERT_EQ(run(&NORV_DAL_Pkcs1RsaPublicKeyDec, big.n, sig), 0);
  EXPECT_EQ(outLen, 51);  // DigestInfo and SHA-256 hash
}

TEST_F(SoftwareRsa, ModulusWithALeadingZeroByteFailsRawAndDecryption) {
  Bytes n(128, 0x00);
  std::copy(key1024().n.begin(), key1024().n.end() - 1, n.begin() + 1);
  n.back() |= 0x01;  // keep it odd
  EXPECT_EQ(run(&NORV_DAL_RsaPublicKeyRaw, n, Bytes(128, 0x00)), NORV_DAL_ERR_RSA);
  EXPECT_EQ(run(&NORV_DAL_Pkcs1RsaPublicKeyDec, n, Bytes(128, 0x00)), NORV_DAL_ERR_RSA);
  // Encryption works at the modulus's true size, 127 bytes.
  ASSERT_EQ(run(&NORV_DAL_Pkcs1RsaPublicKeyEnc, n, pattern(116, 1)), 0);
  EXPECT_EQ(outLen, 127);
}

}  // namespace

// RC2 through the exported calls: the published known answers, and where
// its error codes differ from the DES family's.
#include <gtest/gtest.h>

#include <memory>

#include "norv_dal_tkp30.h"
#include "support/cipher_family.h"

namespace {

using ciphertest::Bytes;
using ciphertest::hex;
using Rc2Ptr = std::unique_ptr<Rc2Ctx, int32_t (*)(void*)>;

const Bytes kIv = hex("0011223344556677");

Rc2Ptr rc2(const Bytes& key, int32_t mode, const Bytes& iv = {}) {
  Rc2Ctx* ctx = nullptr;
  EXPECT_EQ(NORV_DAL_Rc2AcquireContext(key.data(), static_cast<int32_t>(key.size()),
                                       iv.empty() ? nullptr : iv.data(), mode, 0, &ctx),
            0);
  return Rc2Ptr(ctx, NORV_DAL_Rc2ReleaseCtx);
}

Bytes encrypt(Rc2Ctx* ctx, const Bytes& data) {
  Bytes out(data.size() + 8);
  uint32_t n = 0;
  EXPECT_EQ(
      NORV_DAL_Rc2Encrypt(ctx, data.data(), static_cast<uint32_t>(data.size()), out.data(), &n), 0);
  out.resize(n);
  return out;
}

Bytes firstBlock(const Bytes& b) { return Bytes(b.begin(), b.begin() + 8); }

TEST(Rc2KnownAnswers, EffectiveKeyLengthIsEightTimesKeyLength) {
  // RFC 2268: 8-byte keys with 64 effective bits, a 16-byte key with 128.
  EXPECT_EQ(firstBlock(encrypt(rc2(hex("ffffffffffffffff"), 1).get(), hex("ffffffffffffffff"))),
            hex("278b27e42e2f0d49"));
  EXPECT_EQ(firstBlock(encrypt(rc2(hex("3000000000000000"), 1).get(), hex("1000000000000001"))),
            hex("30649edf9be7d2c2"));
  const Bytes key16 = hex("88bca90e90875a7f0f79c384627bafb2");
  EXPECT_EQ(firstBlock(encrypt(rc2(key16, 1).get(), Bytes(8, 0))), hex("2269552ab0f85ca6"));
  // A key longer than 128 bytes acts as its first 128 bytes.
  Bytes longKey(200);
  for (std::size_t i = 0; i < longKey.size(); ++i) longKey[i] = static_cast<uint8_t>(i * 7);
  const Bytes head(longKey.begin(), longKey.begin() + 128);
  EXPECT_EQ(encrypt(rc2(longKey, 1).get(), key16), encrypt(rc2(head, 1).get(), key16));
}

TEST(Rc2Context, SameRulesAsDesWithRc2Codes) {
  const Bytes key = hex("88bca90e90875a7f");
  EXPECT_EQ(encrypt(rc2(key, 1).get(), {}).size(), 8u);
  EXPECT_EQ(encrypt(rc2(key, 1).get(), Bytes(8, 1)).size(), 16u);

  // 3 + 3 then the final equals the one-shot of the 6 bytes.
  auto chained = rc2(key, 2, kIv);
  const Bytes six = hex("a0a1a2a3a4a5");
  uint8_t out[24];
  uint32_t n = 9;
  ASSERT_EQ(NORV_DAL_Rc2EncUpdate(chained.get(), six.data(), 3, out, &n), 0);
  ASSERT_EQ(NORV_DAL_Rc2EncUpdate(chained.get(), six.data() + 3, 3, out, &n), 0);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(NORV_DAL_Rc2EncFinal(chained.get(), out, &n), 0);
  EXPECT_EQ(Bytes(out, out + n), encrypt(rc2(key, 2, kIv).get(), six));

  // A decryption final without exactly one block pending is a length error here.
  auto twelve = rc2(key, 1);
  ASSERT_EQ(NORV_DAL_Rc2DecUpdate(twelve.get(), out, 12, out, &n), 0);
  EXPECT_EQ(NORV_DAL_Rc2DecFinal(twelve.get(), out, &n), NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(NORV_DAL_Rc2Decrypt(twelve.get(), out, 12, out, &n), NORV_DAL_ERR_DATA_LEN);
  auto mixed = rc2(key, 1);
  ASSERT_EQ(NORV_DAL_Rc2DecUpdate(mixed.get(), out, 8, out, &n), 0);
  EXPECT_EQ(NORV_DAL_Rc2EncFinal(mixed.get(), out, &n), NORV_DAL_ERR_DATA_LEN);

  // A last plaintext byte of 9 is bad padding.
  const Bytes bad = firstBlock(encrypt(rc2(key, 1).get(), hex("0102030405060709")));
  auto dec = rc2(key, 1);
  EXPECT_EQ(NORV_DAL_Rc2Decrypt(dec.get(), bad.data(), 8, out, &n), NORV_DAL_ERR_CIPHERTEXT);
}

TEST(Rc2Context, ModeZeroRefusesCipherCallsButMacs) {
  const Bytes key = hex("0102030405");
  auto ctx = rc2(key, 0);
  Bytes out(16);
  uint32_t n = 0;
  EXPECT_EQ(NORV_DAL_Rc2Encrypt(ctx.get(), out.data(), 8, out.data(), &n),
            NORV_DAL_ERR_CIPHER_MODE);
  EXPECT_EQ(NORV_DAL_Rc2DecUpdate(ctx.get(), out.data(), 8, out.data(), &n),
            NORV_DAL_ERR_CIPHER_MODE);
  EXPECT_EQ(NORV_DAL_Rc2DecFinal(ctx.get(), out.data(), &n), NORV_DAL_ERR_CIPHER_MODE);
  Bytes mac0(8), mac1(8);
  ASSERT_EQ(NORV_DAL_Rc2Mac(ctx.get(), kIv.data(), 8, mac0.data(), 8), 0);
  auto cbc = rc2(key, 2, kIv);
  ASSERT_EQ(NORV_DAL_Rc2Mac(cbc.get(), kIv.data(), 8, mac1.data(), 8), 0);
  EXPECT_EQ(mac0, mac1);
  // The MAC of one block is two chained encryptions: E(E(B) ^ 08..08).
  Bytes block = firstBlock(encrypt(rc2(key, 1).get(), kIv));
  for (auto& b : block) b ^= 0x08;
  EXPECT_EQ(mac0, firstBlock(encrypt(rc2(key, 1).get(), block)));

  auto limits = rc2(key, 1);
  EXPECT_EQ(NORV_DAL_Rc2MacFinal(limits.get(), mac0.data(), 9), NORV_DAL_ERR_DATA_LEN);
}

TEST(Rc2Context, AcquireRefusesEmptyKeyAndNullPointers) {
  Rc2Ctx* untouched = nullptr;
  const Bytes key(8, 1);
  EXPECT_EQ(NORV_DAL_Rc2AcquireContext(key.data(), 0, nullptr, 1, 0, &untouched),
            NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(NORV_DAL_Rc2AcquireContext(key.data(), -8, nullptr, 1, 0, &untouched),
            NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(NORV_DAL_Rc2AcquireContext(nullptr, 8, nullptr, 1, 0, &untouched), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_Rc2AcquireContext(key.data(), 8, nullptr, 2, 0, &untouched),
            NORV_DAL_ERR_PARAM);
  EXPECT_EQ(untouched, nullptr);
  Bytes out(8);
  uint32_t n = 0;
  EXPECT_EQ(NORV_DAL_Rc2EncFinal(nullptr, out.data(), &n), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_Rc2MacUpdate(nullptr, out.data(), 8), NORV_DAL_ERR_PARAM);
}

}  // namespace

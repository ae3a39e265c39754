// DES and triple DES through the exported calls: published known answers,
// the buffering, padding and output-length rules, the error codes and the
// CBC-MAC.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/des.h>

#include <memory>

#include "norv_dal_tkp30.h"
#include "support/cipher_family.h"

namespace {

using ciphertest::Bytes;
using ciphertest::hex;
using DesPtr = std::unique_ptr<DesCtx, int32_t (*)(void*)>;

const Bytes kKey = hex("0123456789abcdef");
const Bytes kIv = hex("1234567890abcdef");
const Bytes kNowIsTheTime = hex("4e6f772069732074 68652074696d6520 666f7220616c6c20");
const Bytes k3Key = hex("0123456789ABCDEF 23456789ABCDEF01 456789ABCDEF0123");

DesPtr des(const Bytes& key, int32_t mode, const Bytes& iv = {}) {
  DesCtx* ctx = nullptr;
  EXPECT_EQ(NORV_DAL_DesAcquireContext(key.data(), static_cast<int32_t>(key.size()),
                                       iv.empty() ? nullptr : iv.data(), mode, 1, &ctx),
            0);
  return DesPtr(ctx, NORV_DAL_DesReleaseCtx);
}

Bytes encrypt(DesCtx* ctx, const Bytes& data) {
  Bytes out(data.size() + 8);
  uint32_t n = 0;
  EXPECT_EQ(
      NORV_DAL_DesEncrypt(ctx, data.data(), static_cast<uint32_t>(data.size()), out.data(), &n), 0);
  out.resize(n);
  return out;
}

Bytes decrypt(DesCtx* ctx, const Bytes& data, int32_t expectRv = 0) {
  Bytes out(data.size());
  uint32_t n = 0;
  EXPECT_EQ(
      NORV_DAL_DesDecrypt(ctx, data.data(), static_cast<uint32_t>(data.size()), out.data(), &n),
      expectRv);
  out.resize(expectRv == 0 ? n : 0);
  return out;
}

Bytes first(const Bytes& b, std::size_t n) {
  return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
}

Bytes concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes mac(DesCtx* ctx, const Bytes& data, uint32_t macLen = 8) {
  Bytes out(8, 0xEE);
  EXPECT_EQ(
      NORV_DAL_DesMac(ctx, data.data(), static_cast<uint32_t>(data.size()), out.data(), macLen), 0);
  out.resize(macLen);
  return out;
}

TEST(DesKnownAnswers, SingleDesEcbAndCbcMatchPublishedVectors) {
  EXPECT_EQ(first(encrypt(des(kKey, 1).get(), kNowIsTheTime), 24),
            hex("3fa40e8a984d4815 6a271787ab8883f9 893d51ec4b563b53"));
  EXPECT_EQ(first(encrypt(des(kKey, 2, kIv).get(), kNowIsTheTime), 24),
            hex("e5c7cdde872bf27c 43e934008c389c0f 683788499a7c05f6"));
  // Variable-plaintext and variable-key known answers.
  EXPECT_EQ(first(encrypt(des(hex("0101010101010101"), 1).get(), hex("8000000000000000")), 8),
            hex("95f8a5e5dd31d900"));
  EXPECT_EQ(first(encrypt(des(hex("0101010101010101"), 1).get(), hex("4000000000000000")), 8),
            hex("dd7f121ca5015619"));
  EXPECT_EQ(first(encrypt(des(hex("8001010101010101"), 1).get(), hex("0000000000000000")), 8),
            hex("95a8d72813daa94d"));
  // And back: the padded ciphertext decrypts to the message.
  const Bytes cbc = encrypt(des(kKey, 2, kIv).get(), kNowIsTheTime);
  EXPECT_EQ(decrypt(des(kKey, 2, kIv).get(), cbc), kNowIsTheTime);
}

TEST(DesKnownAnswers, TripleDesMatchesPublishedVectorAndKeyForms) {
  EXPECT_EQ(
      first(encrypt(des(k3Key, 1).get(), hex("5468652071756663 6B2062726F776E20 666F78206A756D70")),
            24),
      hex("A826FD8CE53B855F CCE21C8112256FE6 68D5C05DD9B6B900"));
  const Bytes two = first(k3Key, 16);
  const Bytes twoAsThree = concat(two, first(k3Key, 8));
  const Bytes thrice = concat(concat(kKey, kKey), kKey);
  for (int32_t mode : {1, 2}) {
    EXPECT_EQ(encrypt(des(two, mode, kIv).get(), kNowIsTheTime),
              encrypt(des(twoAsThree, mode, kIv).get(), kNowIsTheTime));
    EXPECT_EQ(encrypt(des(thrice, mode, kIv).get(), kNowIsTheTime),
              encrypt(des(kKey, mode, kIv).get(), kNowIsTheTime));
  }
  // Bytes past the 24th are not key material.
  EXPECT_EQ(encrypt(des(concat(k3Key, hex("ffff")), 1).get(), kNowIsTheTime),
            encrypt(des(k3Key, 1).get(), kNowIsTheTime));
}

TEST(DesContext, OutputLengthsOfUpdatesAndFinals) {
  auto ctx = des(kKey, 1);
  const Bytes eightPad(8, 0x08);
  EXPECT_EQ(encrypt(ctx.get(), {}), first(encrypt(des(kKey, 1).get(), eightPad), 8));
  EXPECT_EQ(encrypt(ctx.get(), Bytes(8, 0x41)).size(), 16u);

  // 3 + 3 bytes then the final: 0, 0 and 8 bytes, the same block as a one-shot.
  auto chained = des(kKey, 1);
  const Bytes six = hex("010203040506");
  uint8_t out[16];
  uint32_t n = 99;
  ASSERT_EQ(NORV_DAL_DesEncUpdate(chained.get(), six.data(), 3, out, &n), 0);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(NORV_DAL_DesEncUpdate(chained.get(), six.data() + 3, 3, out, &n), 0);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(NORV_DAL_DesEncFinal(chained.get(), out, &n), 0);
  ASSERT_EQ(n, 8u);
  EXPECT_EQ(Bytes(out, out + 8), encrypt(des(kKey, 1).get(), six));
  EXPECT_EQ(decrypt(des(kKey, 1).get(), Bytes(out, out + 8)), six);
  EXPECT_EQ(first(encrypt(des(kKey, 1).get(), hex("0102030405060202")), 8), Bytes(out, out + 8));

  // Decryption holds back the last block: 8 bytes in, nothing out until the final.
  auto dec = des(kKey, 1);
  ASSERT_EQ(NORV_DAL_DesDecUpdate(dec.get(), out, 8, out + 8, &n), 0);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(NORV_DAL_DesDecFinal(dec.get(), out + 8, &n), 0);
  EXPECT_EQ(Bytes(out + 8, out + 8 + n), six);
}

TEST(DesContext, DecryptionUpdatesKeepOneToEightBytes) {
  auto enc = des(kKey, 2, kIv);
  const Bytes ct = encrypt(enc.get(), Bytes(24, 0x33));  // 32 bytes
  auto dec = des(kKey, 2, kIv);
  Bytes out(40);
  uint32_t n = 0;
  ASSERT_EQ(NORV_DAL_DesDecUpdate(dec.get(), ct.data(), 5, out.data(), &n), 0);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(NORV_DAL_DesDecUpdate(dec.get(), ct.data() + 5, 11, out.data(), &n), 0);
  EXPECT_EQ(n, 8u);  // 16 in all: the second block is held back
  ASSERT_EQ(NORV_DAL_DesDecUpdate(dec.get(), ct.data() + 16, 16, out.data() + 8, &n), 0);
  EXPECT_EQ(n, 16u);
  ASSERT_EQ(NORV_DAL_DesDecFinal(dec.get(), out.data() + 24, &n), 0);
  EXPECT_EQ(n, 0u);  // the last block was all padding
  EXPECT_EQ(first(out, 24), Bytes(24, 0x33));
}

TEST(DesContext, LengthAndPaddingErrorsMapPerCall) {
  auto ctx = des(kKey, 1);
  Bytes out(32);
  uint32_t n = 77;
  EXPECT_EQ(NORV_DAL_DesDecrypt(ctx.get(), out.data(), 7, out.data(), &n), NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(NORV_DAL_DesDecrypt(ctx.get(), out.data(), 12, out.data(), &n), NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(NORV_DAL_DesDecrypt(ctx.get(), out.data(), 0, out.data(), &n), NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(n, 77u);

  auto twelve = des(kKey, 1);
  ASSERT_EQ(NORV_DAL_DesDecUpdate(twelve.get(), out.data(), 12, out.data(), &n), 0);
  EXPECT_EQ(NORV_DAL_DesDecFinal(twelve.get(), out.data(), &n), NORV_DAL_ERR_OTHER);
  auto empty = des(kKey, 1);
  EXPECT_EQ(NORV_DAL_DesDecFinal(empty.get(), out.data(), &n), NORV_DAL_ERR_OTHER);
  // A context fed by decryption holds a whole block: the encryption final refuses it.
  auto mixed = des(kKey, 1);
  ASSERT_EQ(NORV_DAL_DesDecUpdate(mixed.get(), out.data(), 8, out.data(), &n), 0);
  EXPECT_EQ(NORV_DAL_DesEncFinal(mixed.get(), out.data(), &n), NORV_DAL_ERR_OTHER);

  // Only the last padding byte is examined.
  const Bytes nine = first(encrypt(des(kKey, 1).get(), hex("0000000000000009")), 8);
  const Bytes zero = first(encrypt(des(kKey, 1).get(), hex("1111111111111100")), 8);
  const Bytes one = first(encrypt(des(kKey, 1).get(), hex("a1b2c3d4e5f60701")), 8);
  decrypt(des(kKey, 1).get(), nine, NORV_DAL_ERR_CIPHERTEXT);
  decrypt(des(kKey, 1).get(), zero, NORV_DAL_ERR_CIPHERTEXT);
  EXPECT_EQ(decrypt(des(kKey, 1).get(), one), hex("a1b2c3d4e5f607"));
  auto final = des(kKey, 1);
  ASSERT_EQ(NORV_DAL_DesDecUpdate(final.get(), nine.data(), 8, out.data(), &n), 0);
  n = 55;
  EXPECT_EQ(NORV_DAL_DesDecFinal(final.get(), out.data(), &n), NORV_DAL_ERR_CIPHERTEXT);
  EXPECT_EQ(n, 55u);
}

TEST(DesContext, ModeOtherThanEcbOrCbcRefusesCipherCallsButMacs) {
  for (int32_t mode : {0, 3}) {
    auto ctx = des(kKey, mode);
    ASSERT_NE(ctx, nullptr);
    Bytes out(32, 0xAA);
    uint32_t n = 5;
    const Bytes in(16, 1);
    EXPECT_EQ(NORV_DAL_DesEncUpdate(ctx.get(), in.data(), 16, out.data(), &n),
              NORV_DAL_ERR_CIPHER_MODE);
    EXPECT_EQ(NORV_DAL_DesEncFinal(ctx.get(), out.data(), &n), NORV_DAL_ERR_CIPHER_MODE);
    EXPECT_EQ(NORV_DAL_DesEncrypt(ctx.get(), in.data(), 16, out.data(), &n),
              NORV_DAL_ERR_CIPHER_MODE);
    EXPECT_EQ(NORV_DAL_DesDecUpdate(ctx.get(), in.data(), 16, out.data(), &n),
              NORV_DAL_ERR_CIPHER_MODE);
    EXPECT_EQ(NORV_DAL_DesDecFinal(ctx.get(), out.data(), &n), NORV_DAL_ERR_CIPHER_MODE);
    EXPECT_EQ(NORV_DAL_DesDecrypt(ctx.get(), in.data(), 16, out.data(), &n),
              NORV_DAL_ERR_CIPHER_MODE);
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(out, Bytes(32, 0xAA));
    EXPECT_EQ(mac(ctx.get(), in), mac(des(kKey, 1).get(), in));
  }
}

TEST(DesContext, CbcChainsAcrossOneShotCallsAndEcbDoesNot) {
  const Bytes data(16, 0x5A);
  auto cbc = des(kKey, 2, kIv);
  EXPECT_NE(encrypt(cbc.get(), data), encrypt(cbc.get(), data));
  auto ecb = des(kKey, 1);
  EXPECT_EQ(encrypt(ecb.get(), data), encrypt(ecb.get(), data));
}

TEST(DesContext, AcquireRefusesBadArgumentsAndWritesNothing) {
  DesCtx* untouched = reinterpret_cast<DesCtx*>(0x1);
  const Bytes key(32, 0x11);
  for (int32_t keyLen : {-1, 0, 7, 9, 15, 17, 23, INT32_MIN}) {
    EXPECT_EQ(NORV_DAL_DesAcquireContext(key.data(), keyLen, nullptr, 1, 0, &untouched),
              NORV_DAL_ERR_DATA_LEN)
        << keyLen;
  }
  EXPECT_EQ(NORV_DAL_DesAcquireContext(nullptr, 8, nullptr, 1, 0, &untouched), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_DesAcquireContext(key.data(), 8, nullptr, 2, 0, &untouched),
            NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_DesAcquireContext(key.data(), 8, nullptr, 1, 0, nullptr), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(untouched, reinterpret_cast<DesCtx*>(0x1));
  // The initial vector is read only in CBC mode.
  EXPECT_NE(des(key, 1, {}), nullptr);
}

TEST(DesContext, NullPointersAndOverlongLengthsAreRefusedUntouched) {
  auto ctx = des(kKey, 2, kIv);
  uint8_t buf[16] = {};
  uint32_t n = 3;
  EXPECT_EQ(NORV_DAL_DesEncUpdate(nullptr, buf, 1, buf, &n), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_DesEncUpdate(ctx.get(), nullptr, 1, buf, &n), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_DesEncUpdate(ctx.get(), buf, 1, nullptr, &n), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_DesEncUpdate(ctx.get(), buf, 1, buf, nullptr), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_DesDecFinal(ctx.get(), nullptr, &n), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_DesMacFinal(ctx.get(), nullptr, 8), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_DesMacUpdate(nullptr, buf, 1), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_DesReleaseCtx(nullptr), 0);
  // An empty input may come without a buffer.
  EXPECT_EQ(NORV_DAL_DesEncUpdate(ctx.get(), nullptr, 0, buf, &n), 0);
  EXPECT_EQ(n, 0u);

  // A pending byte plus 4 GiB - 1 would produce 4 GiB of output: refused
  // before any input is read (the buffers here are far shorter).
  ASSERT_EQ(NORV_DAL_DesEncUpdate(ctx.get(), buf, 1, buf, &n), 0);
  n = 3;
  EXPECT_EQ(NORV_DAL_DesEncUpdate(ctx.get(), buf, UINT32_MAX, buf, &n), NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(NORV_DAL_DesEncrypt(ctx.get(), buf, UINT32_MAX - 3, buf, &n), NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(n, 3u);
  // The pending byte is still the only one: the final pads it to one block.
  ASSERT_EQ(NORV_DAL_DesEncFinal(ctx.get(), buf, &n), 0);
  EXPECT_EQ(n, 8u);
}

// Single-DES CBC-MAC with a zero initial value, straight from libcrypto.
Bytes referenceMac(const Bytes& key, Bytes data) {
  const std::size_t pad = 8 - data.size() % 8;
  data.insert(data.end(), pad, static_cast<uint8_t>(pad));
  DES_cblock k, iv = {};
  std::copy(key.begin(), key.end(), k);
  DES_key_schedule ks;
  DES_set_key_unchecked(&k, &ks);
  Bytes out(data.size());
  DES_ncbc_encrypt(data.data(), out.data(), static_cast<long>(data.size()), &ks, &iv, DES_ENCRYPT);
  return Bytes(out.end() - 8, out.end());
}

TEST(DesMac, ValueMatchesCbcMacWithZeroStartWhateverTheMode) {
  EXPECT_EQ(mac(des(kKey, 1).get(), {}), first(encrypt(des(kKey, 1).get(), Bytes(8, 0x08)), 8));
  for (std::size_t len : {0u, 1u, 7u, 8u, 9u, 16u, 100u}) {
    const Bytes data(len, static_cast<uint8_t>(len));
    EXPECT_EQ(mac(des(kKey, 1).get(), data), referenceMac(kKey, data)) << len;
    EXPECT_EQ(mac(des(kKey, 2, kIv).get(), data), referenceMac(kKey, data)) << len;
  }
  // Two-key triple DES is the three-key MAC with the first key as the third.
  const Bytes data = kNowIsTheTime;
  EXPECT_EQ(mac(des(first(k3Key, 16), 1).get(), data),
            mac(des(concat(first(k3Key, 16), first(k3Key, 8)), 2, kIv).get(), data));
  EXPECT_NE(mac(des(first(k3Key, 16), 1).get(), data), mac(des(kKey, 1).get(), data));
}

TEST(DesMac, ChunkingAndMacLength) {
  const Bytes data = hex("0011223344556677");
  auto chained = des(kKey, 1);
  ASSERT_EQ(NORV_DAL_DesMacUpdate(chained.get(), data.data(), 3), 0);
  ASSERT_EQ(NORV_DAL_DesMacUpdate(chained.get(), data.data() + 3, 5), 0);
  Bytes out(8);
  EXPECT_EQ(NORV_DAL_DesMacFinal(chained.get(), out.data(), 9), NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(NORV_DAL_DesMacFinal(chained.get(), out.data(), UINT32_MAX), NORV_DAL_ERR_DATA_LEN);
  ASSERT_EQ(NORV_DAL_DesMacFinal(chained.get(), out.data(), 8), 0);
  EXPECT_EQ(out, mac(des(kKey, 1).get(), data));
  EXPECT_EQ(out, referenceMac(kKey, data));
  EXPECT_EQ(mac(des(kKey, 1).get(), data, 4), first(out, 4));

  // macLen 0 writes nothing; a refused one-shot absorbs nothing.
  auto refused = des(kKey, 1);
  Bytes untouched(8, 0xEE);
  EXPECT_EQ(NORV_DAL_DesMac(refused.get(), data.data(), 8, untouched.data(), 9),
            NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(NORV_DAL_DesMac(refused.get(), data.data(), 8, untouched.data(), 0), 0);
  EXPECT_EQ(untouched, Bytes(8, 0xEE));
}

}  // namespace

// RC4 through the exported calls: RFC 6229 key streams, stream position
// across calls, and the one routine behind two names.
#include <gtest/gtest.h>

#include <memory>

#include "norv_dal_tkp30.h"
#include "support/cipher_family.h"

namespace {

using ciphertest::Bytes;
using ciphertest::hex;
using Rc4Ptr = std::unique_ptr<Rc4Ctx, int32_t (*)(void*)>;

Rc4Ptr rc4(const Bytes& key) {
  Rc4Ctx* ctx = nullptr;
  EXPECT_EQ(
      NORV_DAL_Rc4AcquireContext(key.data(), static_cast<int32_t>(key.size()), nullptr, 0, 0, &ctx),
      0);
  return Rc4Ptr(ctx, NORV_DAL_Rc4ReleaseCtx);
}

Bytes update(Rc4Ctx* ctx, const Bytes& data) {
  Bytes out(data.size());
  uint32_t n = 99;
  EXPECT_EQ(
      NORV_DAL_Rc4Update(ctx, data.data(), static_cast<uint32_t>(data.size()), out.data(), &n), 0);
  EXPECT_EQ(n, data.size());
  return out;
}

TEST(Rc4, KeyStreamMatchesRfc6229) {
  auto forty = rc4(hex("0102030405"));
  Bytes stream = update(forty.get(), Bytes(32, 0));
  EXPECT_EQ(stream, hex("b2396305f03dc027ccc3524a0a1118a8 6982944f18fc82d589c403a47a0d0919"));
  update(forty.get(), Bytes(240 - 32, 0));
  EXPECT_EQ(update(forty.get(), Bytes(32, 0)),
            hex("28cb1132c96ce286421dcaadb8b69eae 1cfcf62b03eddb641d77dfcf7f8d8c93"));
  auto sixtyFour = rc4(hex("0102030405060708"));
  EXPECT_EQ(update(sixtyFour.get(), Bytes(16, 0)), hex("97ab8a1bf0afb96132f2f67258da15a8"));
  auto oneTwentyEight = rc4(hex("0102030405060708090a0b0c0d0e0f10"));
  EXPECT_EQ(update(oneTwentyEight.get(), Bytes(16, 0)), hex("9ac7cc9a609d1ef7b2932899cde41b97"));
}

TEST(Rc4, StreamContinuesAcrossCallsAndFinal) {
  const Bytes key = hex("0102030405");
  const Bytes data = hex("0001020304050607");
  auto whole = rc4(key);
  const Bytes once = update(whole.get(), data);
  auto pieces = rc4(key);
  Bytes split = update(pieces.get(), Bytes(data.begin(), data.begin() + 3));
  Bytes out(8, 0xCC);
  uint32_t n = 7;
  // An empty update and the final write nothing and leave the stream where it was.
  ASSERT_EQ(NORV_DAL_Rc4Update(pieces.get(), nullptr, 0, out.data(), &n), 0);
  EXPECT_EQ(n, 0u);
  n = 7;
  ASSERT_EQ(NORV_DAL_Rc4Final(pieces.get(), out.data(), &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(out, Bytes(8, 0xCC));
  const Bytes rest = update(pieces.get(), Bytes(data.begin() + 3, data.end()));
  split.insert(split.end(), rest.begin(), rest.end());
  EXPECT_EQ(split, once);
  // Decryption is the same call on a fresh context.
  EXPECT_EQ(update(rc4(key).get(), once), data);
}

TEST(Rc4, EncryptIsTheUpdateRoutine) {
  EXPECT_EQ(reinterpret_cast<void*>(&NORV_DAL_Rc4Encrypt),
            reinterpret_cast<void*>(&NORV_DAL_Rc4Update));
  auto ctx = rc4(hex("0102030405"));
  Bytes out(16);
  uint32_t n = 0;
  ASSERT_EQ(NORV_DAL_Rc4Encrypt(ctx.get(), Bytes(16, 0).data(), 16, out.data(), &n), 0);
  EXPECT_EQ(out, hex("b2396305f03dc027ccc3524a0a1118a8"));
}

TEST(Rc4, RefusesEmptyKeyAndNullPointers) {
  Rc4Ctx* untouched = nullptr;
  const Bytes key(300, 0x42);
  EXPECT_EQ(NORV_DAL_Rc4AcquireContext(key.data(), 0, nullptr, 0, 0, &untouched),
            NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(NORV_DAL_Rc4AcquireContext(key.data(), -1, nullptr, 0, 0, &untouched),
            NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(NORV_DAL_Rc4AcquireContext(nullptr, 5, nullptr, 0, 0, &untouched), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(untouched, nullptr);
  // Key bytes past the 256th play no part.
  const Bytes head(key.begin(), key.begin() + 256);
  EXPECT_EQ(update(rc4(key).get(), Bytes(32, 0)), update(rc4(head).get(), Bytes(32, 0)));

  auto ctx = rc4(hex("01"));
  uint8_t buf[4] = {};
  uint32_t n = 0;
  EXPECT_EQ(NORV_DAL_Rc4Update(nullptr, buf, 4, buf, &n), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_Rc4Update(ctx.get(), nullptr, 4, buf, &n), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_Rc4Update(ctx.get(), buf, 4, nullptr, &n), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_Rc4Final(ctx.get(), buf, nullptr), NORV_DAL_ERR_PARAM);
}

}  // namespace

// The SSF33 calls against the scripted device: exact command bytes,
// buffering and padding as the token sees them, status mappings and log
// lines. The cipher itself is the token's; here every CIPHER BLOCK
// answers a fixed block unless a test scripts otherwise.
#include <gtest/gtest.h>

#include <string>

#include "norv_dal_tkp30.h"
#include "support/cipher_family.h"
#include "support/log_reader.h"
#include "support/scripted_device.h"

namespace {

using ciphertest::Bytes;
using ciphertest::hex;

const Bytes kKey = hex("000102030405060708090a0b0c0d0e0f");
const Bytes kIv = hex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
const Bytes kAnswer = hex("a0a1a2a3a4a5a6a7a8a9aaabacadaeaf");
const Bytes kEnd = hex("80c6000000");

Bytes cipherBlockCommand(const Bytes& block) {
  Bytes c = hex("80c4000010");
  c.insert(c.end(), block.begin(), block.end());
  return c;  // the Le byte is laid out but not handed over
}

Bytes blockWithLast(uint8_t last) {
  Bytes b = kAnswer;
  b.back() = last;
  return b;
}

class Ssf33Test : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::reset();
    scripted::setDefault({0x9000, kAnswer});
    testlog::clear();
  }
  void TearDown() override { NORV_DAL_SSF33ReleaseCtx(ctx_); }

  // Acquires and forgets the LOAD KEY command, so that commands() lists
  // what the cipher calls send.
  SSF33Ctx* acquire(int32_t mode = 1, int32_t encFlag = 1) {
    EXPECT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 16, kIv.data(), mode, encFlag, &ctx_), 0);
    sentBefore_ = scripted::commands().size();
    return ctx_;
  }
  std::vector<Bytes> sent() const {
    const auto& all = scripted::commands();
    return {all.begin() + static_cast<std::ptrdiff_t>(sentBefore_), all.end()};
  }

  SSF33Ctx* ctx_ = nullptr;
  std::size_t sentBefore_ = 0;
};

TEST_F(Ssf33Test, LoadKeyCarriesModeDirectionKeyAndIv) {
  struct Case {
    int32_t mode, encFlag;
    const char* header;
    bool withIv;
  };
  for (const Case& c : {Case{2, 1, "80c2410820", true}, Case{2, 0, "80c2c10820", true},
                        Case{1, 1, "80c2400810", false}, Case{0, 1, "80c2400810", false},
                        Case{3, 7, "80c2c00810", false}}) {
    scripted::reset();
    SSF33Ctx* ctx = nullptr;
    ASSERT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 16, kIv.data(), c.mode, c.encFlag, &ctx),
              0);
    Bytes expected = hex(c.header);
    expected.insert(expected.end(), kKey.begin(), kKey.end());
    if (c.withIv) expected.insert(expected.end(), kIv.begin(), kIv.end());
    ASSERT_EQ(scripted::commands().size(), 1u);
    EXPECT_TRUE(scripted::commands()[0] == expected) << c.mode << "/" << c.encFlag;
    EXPECT_EQ(NORV_DAL_SSF33ReleaseCtx(ctx), 0);
    EXPECT_EQ(scripted::commands().size(), 1u);  // release sends nothing
  }
}

TEST_F(Ssf33Test, RefusedLoadKeyLeavesContextPointerAndLogsStatus) {
  scripted::pushSw(0x6A81);
  SSF33Ctx* ctx = reinterpret_cast<SSF33Ctx*>(0x1234);
  EXPECT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 16, nullptr, 1, 1, &ctx),
            NORV_DAL_ERR_NOT_SUPPORTED);
  EXPECT_EQ(ctx, reinterpret_cast<SSF33Ctx*>(0x1234));
  EXPECT_EQ(testlog::texts(), std::vector<std::string>{"SSF33 not SUPPORT:27265:0x6A81"});
}

TEST_F(Ssf33Test, KeyLengthsThatOverrunLoadKeyAreRefusedBeforeAnythingIsSent) {
  const Bytes key(80, 0x5C);
  SSF33Ctx* ctx = nullptr;
  for (auto [keyLen, mode] : {std::pair{0, 1}, {-1, 1}, {76, 1}, {60, 2}, {INT32_MIN, 2}}) {
    EXPECT_EQ(NORV_DAL_SSF33AcquireContext(key.data(), keyLen, kIv.data(), mode, 1, &ctx),
              NORV_DAL_ERR_DATA_LEN);
  }
  EXPECT_EQ(NORV_DAL_SSF33AcquireContext(nullptr, 16, kIv.data(), 1, 1, &ctx), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_SSF33AcquireContext(key.data(), 16, nullptr, 2, 1, &ctx), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_SSF33AcquireContext(key.data(), 16, kIv.data(), 2, 1, nullptr),
            NORV_DAL_ERR_PARAM);
  EXPECT_EQ(ctx, nullptr);
  EXPECT_TRUE(scripted::commands().empty());
  EXPECT_TRUE(scripted::openCalls().empty());
  // The longest keys that fit: 75 bytes alone, 59 before an initial vector.
  ASSERT_EQ(NORV_DAL_SSF33AcquireContext(key.data(), 75, nullptr, 1, 1, &ctx), 0);
  NORV_DAL_SSF33ReleaseCtx(ctx);
  ASSERT_EQ(NORV_DAL_SSF33AcquireContext(key.data(), 59, kIv.data(), 2, 1, &ctx), 0);
  NORV_DAL_SSF33ReleaseCtx(ctx);
  ASSERT_EQ(scripted::commands().size(), 2u);
  EXPECT_EQ(scripted::commands()[0].size(), 5u + 75u);
  EXPECT_EQ(scripted::commands()[1][4], 75);
}

TEST_F(Ssf33Test, EncryptionSendsOneBlockPerCommandThenPaddingAndEnd) {
  SSF33Ctx* ctx = acquire();
  Bytes out(64);
  uint32_t n = 0;
  ASSERT_EQ(NORV_DAL_SSF33Encrypt(ctx, nullptr, 0, out.data(), &n), 0);
  EXPECT_EQ(n, 16u);
  EXPECT_EQ(sent(), (std::vector<Bytes>{cipherBlockCommand(Bytes(16, 0x10)), kEnd}));
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 16), kAnswer);

  SSF33Ctx* sixteen = nullptr;
  ASSERT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 16, nullptr, 1, 1, &sixteen), 0);
  const std::size_t before = scripted::commands().size();
  ASSERT_EQ(NORV_DAL_SSF33Encrypt(sixteen, kIv.data(), 16, out.data(), &n), 0);
  EXPECT_EQ(n, 32u);
  const auto& all = scripted::commands();
  EXPECT_EQ(
      std::vector<Bytes>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
      (std::vector<Bytes>{cipherBlockCommand(kIv), cipherBlockCommand(Bytes(16, 0x10)), kEnd}));
  NORV_DAL_SSF33ReleaseCtx(sixteen);
}

TEST_F(Ssf33Test, EncryptionUpdatesBufferLessThanABlock) {
  SSF33Ctx* ctx = acquire();
  const Bytes data = hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e");
  Bytes out(48);
  uint32_t n = 9;
  ASSERT_EQ(NORV_DAL_SSF33EncUpdate(ctx, data.data(), 15, out.data(), &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_TRUE(sent().empty());
  ASSERT_EQ(NORV_DAL_SSF33EncUpdate(ctx, data.data() + 15, 1, out.data(), &n), 0);
  EXPECT_EQ(n, 16u);  // exactly one block is sent at once
  ASSERT_EQ(NORV_DAL_SSF33EncUpdate(ctx, data.data() + 16, 15, out.data(), &n), 0);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(NORV_DAL_SSF33EncFinal(ctx, out.data(), &n), 0);
  EXPECT_EQ(n, 16u);
  Bytes last(data.begin() + 16, data.end());
  last.push_back(0x01);
  EXPECT_EQ(sent(), (std::vector<Bytes>{cipherBlockCommand(Bytes(data.begin(), data.begin() + 16)),
                                        cipherBlockCommand(last), kEnd}));
}

TEST_F(Ssf33Test, RefusedOrShortCipherBlockIsAnSsf33Error) {
  SSF33Ctx* ctx = acquire();
  Bytes out(64, 0xEE);
  uint32_t n = 3;
  scripted::pushSw(0x9000, kAnswer);
  scripted::pushSw(0x6985);
  EXPECT_EQ(NORV_DAL_SSF33EncUpdate(ctx, kKey.data(), 16, out.data(), &n), 0);
  n = 3;
  EXPECT_EQ(NORV_DAL_SSF33EncUpdate(ctx, Bytes(40, 1).data(), 40, out.data(), &n),
            NORV_DAL_ERR_SSF33);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(testlog::texts(), std::vector<std::string>{"X33Encrypt:27013:0x6985"});
  // A block answered with success but fewer than 16 bytes is no block.
  scripted::pushSw(0x9000, Bytes(8, 0x77));
  EXPECT_EQ(NORV_DAL_SSF33EncFinal(ctx, out.data(), &n), NORV_DAL_ERR_SSF33);
  EXPECT_EQ(testlog::texts().back(), "X33Encrypt:36864:0x9000");
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(Bytes(out.begin() + 16, out.end()), Bytes(48, 0xEE));
  // Nothing was left pending by the failed update: the final pads a whole block.
  ASSERT_EQ(NORV_DAL_SSF33EncFinal(ctx, out.data(), &n), 0);
  EXPECT_EQ(sent()[sent().size() - 2], cipherBlockCommand(Bytes(16, 0x10)));
}

TEST_F(Ssf33Test, DecryptionHoldsBackTheLastBlockAndChecksOnlyItsLastByte) {
  SSF33Ctx* ctx = acquire(1, 0);
  const Bytes ct(32, 0x3C);
  Bytes out(48);
  uint32_t n = 9;
  ASSERT_EQ(NORV_DAL_SSF33DecUpdate(ctx, ct.data(), 16, out.data(), &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_TRUE(sent().empty());
  ASSERT_EQ(NORV_DAL_SSF33DecUpdate(ctx, ct.data() + 16, 16, out.data(), &n), 0);
  EXPECT_EQ(n, 16u);
  scripted::pushSw(0x9000, blockWithLast(0x03));
  ASSERT_EQ(NORV_DAL_SSF33DecFinal(ctx, out.data(), &n), 0);
  EXPECT_EQ(n, 13u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 13), Bytes(kAnswer.begin(), kAnswer.begin() + 13));
  EXPECT_EQ(sent().size(), 2u);  // no END after decryption

  for (int last : {0x00, 0x11}) {
    SSF33Ctx* bad = nullptr;
    ASSERT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 16, nullptr, 1, 0, &bad), 0);
    testlog::clear();
    scripted::pushSw(0x9000, blockWithLast(static_cast<uint8_t>(last)));
    n = 5;
    EXPECT_EQ(NORV_DAL_SSF33Decrypt(bad, ct.data(), 16, out.data(), &n), NORV_DAL_ERR_CIPHERTEXT);
    EXPECT_EQ(n, 5u);
    const std::string value = std::to_string(last) + (last ? ":0x11" : ":0x0");
    EXPECT_EQ(testlog::texts(),
              (std::vector<std::string>{"NORV_DAL_SSF33Decrypt inDataLen=16:0x10",
                                        "if ((buf[15] > 16) || (buf[15] < 1))" + value,
                                        "******>pad ", "******>NORV_DAL_SSF33DecFinal Error"}));
    NORV_DAL_SSF33ReleaseCtx(bad);
  }
}

TEST_F(Ssf33Test, DecryptionOfAPartialBlockFailsWithItsLogLines) {
  SSF33Ctx* ctx = acquire(1, 0);
  Bytes out(32);
  uint32_t n = 0;
  EXPECT_EQ(NORV_DAL_SSF33Decrypt(ctx, Bytes(20, 1).data(), 20, out.data(), &n),
            NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(sent().size(), 1u);  // the first block went through the update
  EXPECT_EQ(testlog::texts(), (std::vector<std::string>{"NORV_DAL_SSF33Decrypt inDataLen=20:0x14",
                                                        "******>the last pCtx->bufLen != 16",
                                                        "******>NORV_DAL_SSF33DecFinal Error"}));

  SSF33Ctx* whole = nullptr;
  ASSERT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 16, nullptr, 1, 0, &whole), 0);
  testlog::clear();
  scripted::pushSw(0x9000, kAnswer);
  scripted::pushSw(0x9000, blockWithLast(0x10));
  ASSERT_EQ(NORV_DAL_SSF33Decrypt(whole, Bytes(32, 1).data(), 32, out.data(), &n), 0);
  EXPECT_EQ(n, 16u);
  EXPECT_EQ(testlog::texts(),
            (std::vector<std::string>{"NORV_DAL_SSF33Decrypt inDataLen=32:0x20",
                                      "NORV_DAL_SSF33Decrypt *outDataLen=16:0x10"}));
  // A context holding a whole decryption block cannot end an encryption.
  Bytes in(16, 2);
  SSF33Ctx* mixed = nullptr;
  ASSERT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 16, nullptr, 1, 0, &mixed), 0);
  ASSERT_EQ(NORV_DAL_SSF33DecUpdate(mixed, in.data(), 16, out.data(), &n), 0);
  testlog::clear();
  EXPECT_EQ(NORV_DAL_SSF33EncFinal(mixed, out.data(), &n), -200);
  EXPECT_EQ(testlog::texts(), std::vector<std::string>{"******>indata length"});
  NORV_DAL_SSF33ReleaseCtx(whole);
  NORV_DAL_SSF33ReleaseCtx(mixed);
}

Bytes xorBlocks(Bytes a, const Bytes& b) {
  for (std::size_t i = 0; i < a.size(); ++i) a[i] ^= b[i];
  return a;
}

TEST_F(Ssf33Test, MacChainsBlocksFromZeroAndEndsWithPaddingAndEnd) {
  SSF33Ctx* ctx = acquire(2, 1);  // the MAC ignores the loaded initial vector
  const Bytes m = hex("00112233445566778899aabbccddeeff");
  Bytes mac(16, 0xEE);
  ASSERT_EQ(NORV_DAL_SSF33MacUpdate(ctx, m.data(), 16), 0);
  ASSERT_EQ(NORV_DAL_SSF33MacFinal(ctx, mac.data(), 8), 0);
  EXPECT_EQ(sent(),
            (std::vector<Bytes>{cipherBlockCommand(m),
                                cipherBlockCommand(xorBlocks(kAnswer, Bytes(16, 0x10))), kEnd}));
  EXPECT_EQ(Bytes(mac.begin(), mac.begin() + 8), Bytes(kAnswer.begin(), kAnswer.begin() + 8));
  EXPECT_EQ(Bytes(mac.begin() + 8, mac.end()), Bytes(8, 0xEE));
}

TEST_F(Ssf33Test, MacPiecesSendOnlyWholeBlocksAndLengthIsLimited) {
  SSF33Ctx* ctx = acquire();
  const Bytes data(32, 0x61);
  ASSERT_EQ(NORV_DAL_SSF33MacUpdate(ctx, data.data(), 1), 0);
  ASSERT_EQ(NORV_DAL_SSF33MacUpdate(ctx, data.data() + 1, 14), 0);
  EXPECT_TRUE(sent().empty());
  ASSERT_EQ(NORV_DAL_SSF33MacUpdate(ctx, data.data() + 15, 17), 0);
  EXPECT_EQ(sent().size(), 2u);
  Bytes mac(17);
  EXPECT_EQ(NORV_DAL_SSF33MacFinal(ctx, mac.data(), 17), NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(testlog::texts(), std::vector<std::string>{"******>mac length"});
  EXPECT_EQ(sent().size(), 2u);
  ASSERT_EQ(NORV_DAL_SSF33MacFinal(ctx, mac.data(), 0), 0);
  EXPECT_EQ(sent().size(), 4u);  // the padding block and END
  EXPECT_EQ(sent().back(), kEnd);
  EXPECT_EQ(mac, Bytes(17, 0));

  scripted::failCommand(scripted::commands().size() + 1, {0x6F00, {}});
  SSF33Ctx* failing = nullptr;
  ASSERT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 16, nullptr, 1, 1, &failing),
            NORV_DAL_ERR_NOT_SUPPORTED);
  ASSERT_EQ(NORV_DAL_SSF33AcquireContext(kKey.data(), 16, nullptr, 1, 1, &failing), 0);
  scripted::pushSw(0x6F00);
  testlog::clear();
  EXPECT_EQ(NORV_DAL_SSF33Mac(failing, data.data(), 16, mac.data(), 16), NORV_DAL_ERR_SSF33);
  EXPECT_EQ(testlog::texts(), (std::vector<std::string>{"X33Encrypt:28416:0x6F00",
                                                        "******>NORV_DAL_SSF33MacUpdate"}));
  NORV_DAL_SSF33ReleaseCtx(failing);
}

TEST_F(Ssf33Test, NullPointersAndOverlongInputAreRefusedUntouched) {
  SSF33Ctx* ctx = acquire();
  uint8_t buf[16] = {};
  uint32_t n = 4;
  EXPECT_EQ(NORV_DAL_SSF33EncUpdate(nullptr, buf, 1, buf, &n), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_SSF33EncUpdate(ctx, nullptr, 1, buf, &n), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_SSF33DecUpdate(ctx, buf, 1, nullptr, &n), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_SSF33DecFinal(ctx, buf, nullptr), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_SSF33MacFinal(ctx, nullptr, 4), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_SSF33Mac(nullptr, buf, 1, buf, 4), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_SSF33ReleaseCtx(nullptr), 0);
  // 15 pending bytes and 4 GiB - 10 more: a count 32 bits cannot carry,
  // refused before any input is read.
  ASSERT_EQ(NORV_DAL_SSF33EncUpdate(ctx, buf, 15, buf, &n), 0);
  n = 4;
  EXPECT_EQ(NORV_DAL_SSF33EncUpdate(ctx, buf, UINT32_MAX - 10, buf, &n), NORV_DAL_ERR_DATA_LEN);
  EXPECT_EQ(n, 4u);
  EXPECT_TRUE(sent().empty());
  ASSERT_EQ(NORV_DAL_SSF33EncFinal(ctx, buf, &n), 0);
  Bytes last(15, 0);
  last.push_back(0x01);
  EXPECT_EQ(sent().front(), cipherBlockCommand(last));
}

}  // namespace

namespace {

TEST_F(Ssf33Test, OneShotMacRefusesAnOverlongMacBeforeSendingData) {
  SSF33Ctx* ctx = acquire();
  Bytes mac(17, 0xEE);
  EXPECT_EQ(NORV_DAL_SSF33Mac(ctx, Bytes(32, 1).data(), 32, mac.data(), 17), NORV_DAL_ERR_DATA_LEN);
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(mac, Bytes(17, 0xEE));
  EXPECT_EQ(testlog::texts(),
            (std::vector<std::string>{"******>mac length", "******>NORV_DAL_SSF33MacFinal"}));
  ASSERT_EQ(NORV_DAL_SSF33Mac(ctx, Bytes(32, 1).data(), 32, mac.data(), 16), 0);
  EXPECT_EQ(sent().size(), 4u);  // two data blocks, the padding block, END
}

}  // namespace

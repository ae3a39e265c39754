#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "norv_dal_tkp30.h"
#include "support/log_reader.h"
#include "support/scripted_device.h"

namespace {

using scripted::Bytes;

Bytes pattern(std::size_t size, std::uint8_t seed) {
  Bytes out(size);
  for (std::size_t k = 0; k < size; ++k) out[k] = static_cast<std::uint8_t>(seed + 7 * k);
  return out;
}

bool logged(const std::string& text) {
  const auto texts = testlog::texts();
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class PrivateOperation : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::reset();
    testlog::clear();
  }
  Bytes in = pattern(256, 0x11);
  Bytes out = Bytes(128, 0xEE);
  int32_t outLen = -7;
};

TEST_F(PrivateOperation, NamesTheKeyInP1P2AndReturnsTheBlock) {
  const Bytes result = pattern(128, 0x42);
  scripted::pushSw(0x9000, result);
  ASSERT_EQ(NORV_DAL_RsaPrivateKeyRaw(0x00010821, in.data(), 128, out.data(), &outLen), 0);
  EXPECT_TRUE(out == result);
  EXPECT_EQ(outLen, 128);
  ASSERT_EQ(scripted::commands().size(), 1u);
  Bytes expected = {0x80, 0x72, 0x21, 0x08, 0x80};
  expected.insert(expected.end(), in.begin(), in.begin() + 128);
  expected.push_back(0x80);
  EXPECT_EQ(expected.size(), 134u);
  EXPECT_TRUE(scripted::commands()[0] == expected);
}

TEST_F(PrivateOperation, RejectsOtherLengthsAndMissingBuffersBeforeSending) {
  for (int32_t length : {127, 129, 256, 0, -128}) {
    EXPECT_EQ(NORV_DAL_RsaPrivateKeyRaw(0x0820, in.data(), length, out.data(), &outLen),
              NORV_DAL_ERR_DATA_LEN)
        << length;
  }
  EXPECT_TRUE(logged("******>indata length"));
  EXPECT_EQ(NORV_DAL_RsaPrivateKeyRaw(0x0820, nullptr, 128, out.data(), &outLen),
            NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_RsaPrivateKeyRaw(0x0820, in.data(), 128, nullptr, &outLen),
            NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_RsaPrivateKeyRaw(0x0820, in.data(), 128, out.data(), nullptr),
            NORV_DAL_ERR_PARAM);
  EXPECT_TRUE(scripted::commands().empty());
}

TEST_F(PrivateOperation, RefusalOrShortAnswerLeavesTheOutputUntouched) {
  const Bytes untouched = out;
  scripted::pushSw(0x6982);
  EXPECT_EQ(NORV_DAL_RsaPrivateKeyRaw(0x0820, in.data(), 128, out.data(), &outLen),
            NORV_DAL_ERR_RSA);
  EXPECT_TRUE(logged("******>TKP20_tsi_api"));

  scripted::pushSw(0x9000, pattern(127, 0x01));
  EXPECT_EQ(NORV_DAL_RsaPrivateKeyRaw(0x0820, in.data(), 128, out.data(), &outLen),
            NORV_DAL_ERR_RSA);

  scripted::pushNotCarried();
  EXPECT_EQ(NORV_DAL_RsaPrivateKeyRaw(0x0820, in.data(), 128, out.data(), &outLen),
            NORV_DAL_ERR_RSA);
  EXPECT_TRUE(out == untouched);
  EXPECT_EQ(outLen, -7);
}

class Random : public PrivateOperation {
 protected:
  // Scripts one answer per GET CHALLENGE of a `total`-byte request.
  static Bytes scriptChallenges(std::size_t total) {
    Bytes all;
    for (std::size_t done = 0; done < total;) {
      const std::size_t count = std::min<std::size_t>(78, total - done);
      const Bytes chunk = pattern(count, static_cast<std::uint8_t>(done));
      scripted::pushSw(0x9000, chunk);
      all.insert(all.end(), chunk.begin(), chunk.end());
      done += count;
    }
    return all;
  }
  static std::vector<std::uint8_t> requestedLengths() {
    std::vector<std::uint8_t> les;
    for (const Bytes& command : scripted::commands()) {
      EXPECT_EQ(command.size(), 5u);
      EXPECT_TRUE(std::equal(command.begin(), command.begin() + 4,
                             Bytes{0x00, 0x84, 0x00, 0x00}.begin()));
      les.push_back(command.back());
    }
    return les;
  }
};

TEST_F(Random, ServesAnyLengthInCommandsOfAtMost78Bytes) {
  const std::vector<std::pair<int32_t, std::vector<std::uint8_t>>> cases = {
      {1, {1}},
      {8, {8}},
      {78, {78}},
      {79, {78, 1}},
      {1000, {78, 78, 78, 78, 78, 78, 78, 78, 78, 78, 78, 78, 64}}};
  for (const auto& [length, les] : cases) {
    scripted::reset();
    const Bytes expected = scriptChallenges(static_cast<std::size_t>(length));
    Bytes buffer(static_cast<std::size_t>(length) + 1, 0xEE);
    ASSERT_EQ(NORV_DAL_GenRand(length, buffer.data()), 0) << length;
    EXPECT_EQ(requestedLengths(), les) << length;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin())) << length;
    EXPECT_EQ(buffer.back(), 0xEE) << length;  // nothing past the request
  }
}

TEST_F(Random, ZeroNegativeAndMissingBuffer) {
  EXPECT_EQ(NORV_DAL_GenRand(0, nullptr), 0);
  EXPECT_EQ(NORV_DAL_GenRand(0, out.data()), 0);
  EXPECT_EQ(NORV_DAL_GenRand(-1, out.data()), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_GenRand(8, nullptr), NORV_DAL_ERR_PARAM);
  EXPECT_TRUE(scripted::commands().empty());
  EXPECT_EQ(out, Bytes(128, 0xEE));
}

TEST_F(Random, RefusedOrShortChallengeFailsSilentlyWithoutHandingOutBytes) {
  scripted::pushSw(0x6A86);
  EXPECT_EQ(NORV_DAL_GenRand(8, out.data()), NORV_DAL_ERR_GEN_RAND);
  EXPECT_TRUE(testlog::texts().empty());

  scripted::pushSw(0x9000, pattern(7, 1));  // one byte short
  EXPECT_EQ(NORV_DAL_GenRand(8, out.data()), NORV_DAL_ERR_GEN_RAND);
  EXPECT_EQ(out, Bytes(128, 0xEE));

  // The second command of a 100-byte request fails: the first 78 bytes
  // are not left behind.
  scripted::reset();
  scripted::pushSw(0x9000, pattern(78, 1));
  scripted::pushSw(0x6F00);
  EXPECT_EQ(NORV_DAL_GenRand(100, out.data()), NORV_DAL_ERR_GEN_RAND);
  EXPECT_EQ(scripted::commands().size(), 2u);
  EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 78, [](auto b) { return b == 0; }));
  EXPECT_TRUE(std::all_of(out.begin() + 78, out.end(), [](auto b) { return b == 0xEE; }));
}

}  // namespace

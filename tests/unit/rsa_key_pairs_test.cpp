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

const Bytes kSelectCounter = {0x00, 0xA4, 0x02, 0x00, 0x02, 0xF4, 0x1F};
const Bytes kReadCounter = {0x00, 0xB0, 0x00, 0x00, 0x02};

Bytes concat(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

Bytes filled(std::size_t size, std::uint8_t first) {
  Bytes out(size);
  for (std::size_t k = 0; k < size; ++k) out[k] = static_cast<std::uint8_t>(first + k);
  return out;
}

bool logged(const std::string& text) {
  const auto texts = testlog::texts();
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class KeyPairs : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::reset();
    testlog::clear();
  }
  // Answers the counter selection and read with `low`, `high`.
  static void scriptCounter(std::uint8_t low, std::uint8_t high) {
    scripted::pushSw(0x9000);
    scripted::pushSw(0x9000, {low, high});
  }
  int32_t pub = -7;
  int32_t pri = -7;
};

TEST_F(KeyPairs, GenerationAcceptsOnly1024BitsAndValidOutputs) {
  for (int32_t bits : {2048, 512, 0, 1023}) {
    EXPECT_EQ(NORV_DAL_GenRsaKeyPair(bits, &pub, &pri), NORV_DAL_ERR_MODULUS_LEN) << bits;
  }
  EXPECT_EQ(NORV_DAL_GenRsaKeyPair(1024, nullptr, &pri), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, nullptr), NORV_DAL_ERR_PARAM);
  EXPECT_TRUE(scripted::commands().empty());
  EXPECT_TRUE(logged("******>modulusLen"));
  EXPECT_EQ(pub, -7);

  scripted::setOpenSlots({});
  EXPECT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), NORV_DAL_ERR_OPEN_DEVICE);
  EXPECT_TRUE(scripted::commands().empty());
}

TEST_F(KeyPairs, GenerationUsesTheCounterSlotAndAdvancesIt) {
  scriptCounter(0x00, 0x00);
  ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), 0);
  EXPECT_EQ(pub, 0x0800);
  EXPECT_EQ(pri, 0x0820);
  const std::vector<Bytes> expected = {
      kSelectCounter, kReadCounter, {0x80, 0x70, 0x00, 0x00, 0x04, 0x00, 0x08, 0x20, 0x08},
      kSelectCounter, {0x00, 0xD6, 0x00, 0x00, 0x02, 0x01, 0x00}};
  EXPECT_EQ(scripted::commands(), expected);

  scripted::reset();
  scriptCounter(0x01, 0x00);
  ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), 0);
  EXPECT_EQ(pub, 0x0801);
  EXPECT_EQ(pri, 0x0821);
  EXPECT_EQ(scripted::commands().at(4), (Bytes{0x00, 0xD6, 0x00, 0x00, 0x02, 0x02, 0x00}));

  // The counter is 16 bits, low byte first: 0x01FF becomes 0x0200.
  scripted::reset();
  scriptCounter(0xFF, 0x01);
  ASSERT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), 0);
  EXPECT_EQ(pub, 0x09FF);
  EXPECT_EQ(scripted::commands().at(2),
            (Bytes{0x80, 0x70, 0x00, 0x00, 0x04, 0xFF, 0x09, 0x1F, 0x0A}));
  EXPECT_EQ(scripted::commands().at(4), (Bytes{0x00, 0xD6, 0x00, 0x00, 0x02, 0x00, 0x02}));
}

TEST_F(KeyPairs, RefusedGenerationKeepsTheCounterAndReportsTheSlot) {
  scriptCounter(0x04, 0x00);
  scripted::pushSw(0x6A82);
  EXPECT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), NORV_DAL_ERR_CREATE_FILE);
  EXPECT_EQ(pub, 0x0804);
  EXPECT_EQ(pri, 0x0824);
  ASSERT_EQ(scripted::commands().size(), 3u);  // no write-back
  EXPECT_EQ(scripted::commands()[2],
            (Bytes{0x80, 0x70, 0x00, 0x00, 0x04, 0x04, 0x08, 0x24, 0x08}));
  EXPECT_TRUE(logged("******>GenerateRSAKeypair2 Error:27266:0x6A82"));
}

TEST_F(KeyPairs, UnreadableCounterStopsGeneration) {
  scripted::pushSw(0x6A82);  // refused selection
  EXPECT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(scripted::commands().size(), 1u);

  scripted::reset();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x9000, {0x00});  // one byte where two are needed
  EXPECT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(scripted::commands().size(), 2u);

  scripted::reset();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x6982);
  EXPECT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(pub, -7);
  EXPECT_TRUE(logged("******>NORV_DAL_GenRsaKeyPair1"));
}

TEST_F(KeyPairs, CounterWriteBackFailureIsReported) {
  scriptCounter(0x00, 0x00);
  scripted::pushSw(0x9000);  // generated
  scripted::pushSw(0x9000);  // counter selected
  scripted::pushSw(0x6581);  // update refused
  EXPECT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), NORV_DAL_ERR_WRITE_FILE);
  EXPECT_EQ(pub, 0x0800);
}

TEST_F(KeyPairs, CounterNamingIdentifiersPast16BitsSendsNoGeneration) {
  scriptCounter(0xE0, 0xF7);  // 0xF7E0 + 0x0820 = 0x10000
  EXPECT_EQ(NORV_DAL_GenRsaKeyPair(1024, &pub, &pri), NORV_DAL_ERR_CREATE_FILE);
  EXPECT_EQ(scripted::commands().size(), 2u);
}

class KeyImport : public KeyPairs {
 protected:
  int32_t importWith(int32_t reserved1, int32_t reserved2) {
    return NORV_DAL_ImportRsaKeyPair(reserved1, modulus.data(), reserved2, crt[0].data(),
                                     crt[1].data(), crt[2].data(), crt[3].data(), crt[4].data(),
                                     &pub, &pri);
  }
  Bytes modulus = filled(128, 0x80);
  std::vector<Bytes> crt = {filled(64, 0x10), filled(64, 0x20), filled(64, 0x30),
                            filled(64, 0x40), filled(64, 0x50)};
};

TEST_F(KeyImport, SendsEveryComponentInOrderWhateverTheReservedWords) {
  std::vector<Bytes> expected = {
      kSelectCounter,
      kReadCounter,
      {0x00, 0xA4, 0x02, 0x00, 0x02, 0x02, 0x08},
      {0x80, 0x76, 0x00, 0x01, 0x04, 0x01, 0x00, 0x01, 0x00},
      concat({0x80, 0x76, 0x00, 0x02, 0x80}, modulus),
      {0x00, 0xA4, 0x02, 0x00, 0x02, 0x22, 0x08}};
  for (std::uint8_t k = 0; k < 5; ++k) {
    expected.push_back(concat({0x80, 0x76, 0x00, static_cast<std::uint8_t>(3 + k), 0x40}, crt[k]));
  }
  expected.push_back(kSelectCounter);
  expected.push_back({0x00, 0xD6, 0x00, 0x00, 0x02, 0x03, 0x00});

  for (auto [r1, r2] : {std::pair{0, 0}, std::pair{-1, 12345}}) {
    scripted::reset();
    testlog::clear();
    scriptCounter(0x02, 0x00);
    ASSERT_EQ(importWith(r1, r2), 0);
    EXPECT_EQ(pub, 0x0802);
    EXPECT_EQ(pri, 0x0822);
    EXPECT_TRUE(scripted::commands() == expected);  // carries private key components
    EXPECT_TRUE(logged("BEGIN NORV_DAL_ImportRsaKeyPair:"));
  }
}

TEST_F(KeyImport, RefusedComponentStopsTheImportAndKeepsTheCounter) {
  scriptCounter(0x01, 0x00);
  scripted::failCommand(9, {0x6A80, {}, true});  // component 5
  EXPECT_EQ(importWith(0, 0), NORV_DAL_ERR_CREATE_FILE);
  EXPECT_EQ(pub, 0x0801);
  EXPECT_EQ(pri, 0x0821);
  ASSERT_EQ(scripted::commands().size(), 9u);  // 6, 7 and the write-back never sent
  EXPECT_EQ(scripted::commands()[8][3], 0x05);

  scripted::reset();
  scriptCounter(0x01, 0x00);
  scripted::pushSw(0x6A82);  // public-key file missing
  EXPECT_EQ(importWith(0, 0), NORV_DAL_ERR_CREATE_FILE);
  EXPECT_EQ(scripted::commands().size(), 3u);
}

TEST_F(KeyImport, UnreadableCounterOrMissingInputStopsBeforeAnyKeyCommand) {
  scripted::pushSw(0x9000);
  scripted::pushSw(0x6982);
  EXPECT_EQ(importWith(0, 0), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(scripted::commands().size(), 2u);
  EXPECT_TRUE(logged("******>NORV_DAL_ImportRsaKeyPair 1"));
  EXPECT_FALSE(logged("BEGIN NORV_DAL_ImportRsaKeyPair:"));
  EXPECT_EQ(pub, -7);

  scripted::reset();
  EXPECT_EQ(NORV_DAL_ImportRsaKeyPair(0, modulus.data(), 0, crt[0].data(), crt[1].data(),
                                      nullptr, crt[3].data(), crt[4].data(), &pub, &pri),
            NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_ImportRsaKeyPair(0, nullptr, 0, crt[0].data(), crt[1].data(), crt[2].data(),
                                      crt[3].data(), crt[4].data(), &pub, &pri),
            NORV_DAL_ERR_PARAM);
  EXPECT_TRUE(scripted::commands().empty());
}

class PublicKeyRead : public KeyPairs {
 protected:
  Bytes key = Bytes(128, 0xEE);
  int32_t keyLen = -7;
};

TEST_F(PublicKeyRead, ReturnsTheModulusOfTheNamedFile) {
  const Bytes modulus = filled(128, 0x01);
  scripted::pushSw(0x9000);
  scripted::pushSw(0x9000, modulus);
  ASSERT_EQ(NORV_DAL_GetPublicKey(0x7FFF0801, key.data(), &keyLen), 0);  // low 16 bits count
  EXPECT_EQ(key, modulus);
  EXPECT_EQ(keyLen, 128);
  const std::vector<Bytes> expected = {{0x00, 0xA4, 0x02, 0x00, 0x02, 0x01, 0x08},
                                       {0x80, 0x78, 0x00, 0x02, 0x80}};
  EXPECT_EQ(scripted::commands(), expected);
}

TEST_F(PublicKeyRead, RefusalsAndShortAnswersLeaveTheBuffersUntouched) {
  const Bytes untouched = key;
  scripted::pushSw(0x6A82);
  EXPECT_EQ(NORV_DAL_GetPublicKey(0x0805, key.data(), &keyLen), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(scripted::commands().size(), 1u);

  scripted::reset();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x6985);
  EXPECT_EQ(NORV_DAL_GetPublicKey(0x0800, key.data(), &keyLen), NORV_DAL_ERR_READ_FILE);

  scripted::reset();
  scripted::pushSw(0x9000);
  scripted::pushSw(0x9000, filled(127, 0x01));
  EXPECT_EQ(NORV_DAL_GetPublicKey(0x0800, key.data(), &keyLen), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(key, untouched);
  EXPECT_EQ(keyLen, -7);

  scripted::reset();
  EXPECT_EQ(NORV_DAL_GetPublicKey(0x0800, nullptr, &keyLen), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(NORV_DAL_GetPublicKey(0x0800, key.data(), nullptr), NORV_DAL_ERR_PARAM);
  EXPECT_TRUE(scripted::commands().empty());
}

}  // namespace

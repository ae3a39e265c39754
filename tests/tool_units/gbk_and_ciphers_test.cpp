#include <gtest/gtest.h>

#include <clocale>

#include "cipher_stream.h"
#include "gbk.h"
#include "hex.h"
#include "tool_error.h"

namespace tkp30 {
namespace {

class Locale : public ::testing::Test {
 protected:
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(Locale, GbkMessagesReachAUtf8TerminalAsUtf8) {
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  EXPECT_EQ(gbkToLocale("\xB5\xC7\xC2\xBC\xCA\xA7\xB0\xDC"), "登录失败");
  EXPECT_EQ(libraryMessage(-110), "解锁USER PIN时校检SUP PIN失败");
  EXPECT_EQ(libraryMessage(2), "PIN码不正确，还有2次重试机会");
}

TEST_F(Locale, WhatTheLocaleCannotShowBecomesQuestionMarks) {
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  EXPECT_EQ(gbkToLocale("SSF\xD4\xCB\xCB\xE3"), "SSF??");
  EXPECT_EQ(gbkToLocale("a\xFF"), "a?");  // a broken trailing byte
}

CipherChoice choice(Algorithm algorithm, std::string_view keyHex, std::string_view ivHex, bool cbc) {
  CipherChoice s;
  s.algorithm = algorithm;
  s.cbc = cbc;
  parseHex(keyHex, s.key);
  s.iv = *parseHex(ivHex);
  return s;
}

TEST(CipherChoice, KeyModeAndIvMustSuitTheAlgorithm) {
  EXPECT_NO_THROW(validate(choice(Algorithm::Des, "0011223344556677", "0001020304050607", true)));
  EXPECT_NO_THROW(
      validate(choice(Algorithm::TripleDes, "00112233445566778899aabbccddeeff", "", false)));
  EXPECT_NO_THROW(validate(choice(Algorithm::Rc4, "01", "", true)));
  EXPECT_THROW(validate(choice(Algorithm::Des, "00112233445566", "0001020304050607", true)),
               UsageError);
  EXPECT_THROW(validate(choice(Algorithm::TripleDes, "00112233445566778899", "", false)), UsageError);
  EXPECT_THROW(validate(choice(Algorithm::Ssf33, "0011223344556677", "", false)), UsageError);
  EXPECT_THROW(validate(choice(Algorithm::Des, "0011223344556677", "00010203", true)), UsageError);
  EXPECT_THROW(validate(choice(Algorithm::Des, "0011223344556677", "0001020304050607", false)),
               UsageError);
  EXPECT_THROW(validate(choice(Algorithm::Rc4, "01", "00", false)), UsageError);
  EXPECT_THROW(validate(choice(Algorithm::Rc2, "", "", false)), UsageError);
}

TEST(CipherStream, StreamingInPiecesGivesTheOneShotResult) {
  const auto s = choice(Algorithm::Rc2, "00112233445566778899aabbccddeeff", "0102030405060708", true);
  std::vector<std::uint8_t> plain(1000);
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 7);

  auto run = [&](Direction direction, const std::vector<std::uint8_t>& in, std::size_t piece) {
    const auto cipher = openCipher(s, direction);
    std::vector<std::uint8_t> out, released;
    for (std::size_t at = 0; at < in.size(); at += piece) {
      cipher->update({in.data() + at, std::min(piece, in.size() - at)}, released);
      out.insert(out.end(), released.begin(), released.end());
    }
    cipher->finish(released);
    out.insert(out.end(), released.begin(), released.end());
    return out;
  };
  const auto whole = run(Direction::Encrypt, plain, plain.size());
  EXPECT_EQ(whole.size(), 1008u);
  EXPECT_EQ(run(Direction::Encrypt, plain, 3), whole);
  EXPECT_EQ(run(Direction::Decrypt, whole, 8), plain);
  EXPECT_EQ(run(Direction::Decrypt, whole, 13), plain);
  EXPECT_THROW(
      run(Direction::Decrypt, std::vector<std::uint8_t>(whole.begin(), whole.end() - 3), 64),
      LibraryError);
}

}  // namespace
}  // namespace tkp30

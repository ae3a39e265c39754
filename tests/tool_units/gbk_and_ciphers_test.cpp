#include <gtest/gtest.h>

#include <clocale>

#include "io/hex.h"
#include "io/result_text.h"
#include "io/tool_error.h"
#include "norv_dal_tkp30.h"
#include "platform/gbk.h"
#include "token/cipher_stream.h"

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

TEST_F(Locale, WhatTheLocaleCannotShowIsLeftOutRatherThanMangled) {
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  EXPECT_EQ(gbkToLocale("SSF\xD4\xCB\xCB\xE3"), std::nullopt);
  EXPECT_EQ(gbkToLocale("plain ASCII"), "plain ASCII");
  EXPECT_EQ(describeResult(-114), "logging in failed");
  EXPECT_EQ(describeResult(2), "wrong PIN, 2 tries left");
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  EXPECT_EQ(gbkToLocale("a\xFF"), std::nullopt);  // a broken trailing byte
  EXPECT_EQ(describeResult(-114), "登录失败 - logging in failed");
  EXPECT_EQ(describeResult(0x6A82), "the card refused the command");
}

TEST(ResultText, EveryCodeOfTheErrorTableHasAnEnglishMeaning) {
  const std::int32_t codes[] = {NORV_DAL_ERR_PARAM,
                                NORV_DAL_ERR_SYNC,
                                NORV_DAL_ERR_CREATE_SYNC,
                                NORV_DAL_ERR_GEN_RAND,
                                NORV_DAL_ERR_SSF33,
                                NORV_DAL_ERR_CIPHERTEXT,
                                NORV_DAL_ERR_CIPHER_MODE,
                                NORV_DAL_ERR_CREATE_SYM_KEY,
                                NORV_DAL_ERR_RSA,
                                NORV_DAL_ERR_DATA_LEN,
                                NORV_DAL_ERR_GEN_KEY_PAIR,
                                NORV_DAL_ERR_MODULUS_LEN,
                                NORV_DAL_ERR_DELETE_FILE,
                                NORV_DAL_ERR_FILE_DELETED,
                                NORV_DAL_ERR_READ_FILE,
                                NORV_DAL_ERR_WRITE_FILE,
                                NORV_DAL_ERR_WRITE_PIN,
                                NORV_DAL_ERR_WRITE_KEY_FILE,
                                NORV_DAL_ERR_CREATE_KEY_FILE,
                                NORV_DAL_ERR_CREATE_FILE,
                                NORV_DAL_ERR_WRITE,
                                NORV_DAL_ERR_CLEAR_FORMAT,
                                NORV_DAL_ERR_LOGOUT,
                                NORV_DAL_ERR_LOGIN,
                                NORV_DAL_ERR_CHANGE_PIN,
                                NORV_DAL_ERR_UNLOCK_PIN,
                                NORV_DAL_ERR_VERIFY_PIN,
                                NORV_DAL_ERR_UNLOCK_SUPER_PIN,
                                NORV_DAL_ERR_OTHER,
                                NORV_DAL_ERR_RESET_DEVICE,
                                NORV_DAL_ERR_OPEN_DEVICE,
                                NORV_DAL_ERR_NO_DEVICE,
                                NORV_DAL_ERR_NOT_SUPPORTED,
                                NORV_DAL_ERR_SUPER_PIN_LOCKED,
                                NORV_DAL_ERR_USER_PIN_LOCKED};
  for (const std::int32_t code : codes) EXPECT_NE(englishMeaning(code), "unknown result") << code;
  EXPECT_EQ(englishMeaning(1), "wrong PIN, 1 try left");
  EXPECT_EQ(englishMeaning(14), "wrong PIN, 14 tries left");
  EXPECT_EQ(englishMeaning(-3), "unknown result");
}

CipherChoice choice(Algorithm algorithm, std::string_view keyHex, std::string_view ivHex,
                    bool cbc) {
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
  EXPECT_THROW(validate(choice(Algorithm::TripleDes, "00112233445566778899", "", false)),
               UsageError);
  EXPECT_THROW(validate(choice(Algorithm::Ssf33, "0011223344556677", "", false)), UsageError);
  EXPECT_THROW(validate(choice(Algorithm::Des, "0011223344556677", "00010203", true)), UsageError);
  EXPECT_THROW(validate(choice(Algorithm::Des, "0011223344556677", "0001020304050607", false)),
               UsageError);
  EXPECT_THROW(validate(choice(Algorithm::Rc4, "01", "00", false)), UsageError);
  EXPECT_THROW(validate(choice(Algorithm::Rc2, "", "", false)), UsageError);
}

TEST(CipherStream, StreamingInPiecesGivesTheOneShotResult) {
  const auto s =
      choice(Algorithm::Rc2, "00112233445566778899aabbccddeeff", "0102030405060708", true);
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

// The log of the DLL at its fixed path c:\dal\dal_tkp30.txt: a text file
// with CR LF line ends, appended to, and never created without its
// directory.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <regex>
#include <string>

#include "norv_dal_tkp30.h"
#include "support/test_os.h"
#include "windows/diagnostic_log.h"

namespace {

// A token call that fails before reaching a token, and logs that.
void failToOpen() {
  testos::setEnv("TKP30_SLOTS", "");
  std::uint8_t random[8];
  EXPECT_EQ(NORV_DAL_GenRand(8, random), NORV_DAL_ERR_OPEN_DEVICE);
}

TEST(DiagnosticLog, WithoutItsDirectoryNothingIsCreated) {
  wintest::removeLogDirectory();
  failToOpen();
  EXPECT_EQ(GetFileAttributesA(wintest::kLogDirectory), INVALID_FILE_ATTRIBUTES);
}

TEST(DiagnosticLog, LinesAreAppendedWithCrLf) {
  wintest::LogDirectory log;
  { std::ofstream(wintest::kLogFile, std::ios::binary) << "earlier\r\n"; }
  failToOpen();
  failToOpen();
  const std::regex twoLines(
      "earlier\r\n"
      "(File [^\r\n]+; Line [0-9]+ # \\*\\*\\*\\*\\*\\*>NORV_DAL_Initialize\r\n){2}");
  const std::string text = log.read();
  EXPECT_TRUE(std::regex_match(text, twoLines)) << text;
}

}  // namespace

// An emulated token used by two Windows processes through the DLLs: the
// image is replaced atomically and the volatile state (here the login) is
// one, shared through the named file mapping.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "norv_dal_tkp30.h"
#include "support/test_os.h"
#include "windows/child_process.h"
#include "windows/roles.h"

namespace {

namespace fs = std::filesystem;

const std::string kSuperPin = "11223344";
const std::string kUserPin = "123456";

const std::uint8_t* bytes(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

std::int32_t length(const std::string& text) { return static_cast<std::int32_t>(text.size()); }

TEST(EmulatedTokenAcrossProcesses, OneLoginStateAndOneImage) {
  const char* root = std::getenv("TKP30_TEST_TMP");
  ASSERT_NE(root, nullptr);
  fs::create_directories(root);
  const std::string dir = testos::makeTempDir(std::string(root) + "/win-share-");
  const std::string image = dir + "/token.img";
  testos::setEnv("TKP30_SLOTS", ("emu:" + image).c_str());

  ASSERT_EQ(NORV_DAL_FormatDevice(bytes(kSuperPin), length(kSuperPin), bytes(kUserPin),
                                  length(kUserPin)),
            NORV_DAL_OK);
  EXPECT_TRUE(fs::exists(image));
  EXPECT_FALSE(fs::exists(image + ".tmp"));
  EXPECT_EQ(wintest::finishChild(wintest::startChild(wintest::kLoginStateRole, image)), 0);

  ASSERT_EQ(NORV_DAL_Login(NORV_DAL_LOGIN_USER, bytes(kUserPin), length(kUserPin)), NORV_DAL_OK);
  EXPECT_EQ(wintest::finishChild(wintest::startChild(wintest::kLoginStateRole, image)), 1);
  ASSERT_EQ(NORV_DAL_Logout(NORV_DAL_LOGIN_USER), NORV_DAL_OK);
  EXPECT_EQ(wintest::finishChild(wintest::startChild(wintest::kLoginStateRole, image)), 0);

  EXPECT_EQ(NORV_DAL_Finalize(), NORV_DAL_OK);
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

}  // namespace

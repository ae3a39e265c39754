// Formatting, the global info file and user data files on a token.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "norv_dal_tkp30.h"
#include "support/e2e_token.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes pattern(std::size_t size, std::uint8_t start) {
  Bytes b(size);
  std::iota(b.begin(), b.end(), start);
  return b;
}

class FilesE2eTest : public e2e::TokenTest {
 protected:
  static std::int32_t write(std::int32_t type, std::int32_t index, const Bytes& data) {
    return NORV_DAL_WriteUsrDataFile(type, index, 0, static_cast<std::int32_t>(data.size()),
                                     data.data());
  }
  static std::int32_t read(std::int32_t type, std::int32_t index, Bytes& data) {
    return NORV_DAL_ReadUsrDataFile(type, index, 0, static_cast<std::int32_t>(data.size()),
                                    data.data());
  }
};

TEST_F(FilesE2eTest, GlobalInfoFileRoundTrip) {
  format();
  Bytes out(300);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(0, 4, out.data()), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(NORV_DAL_CreateGlobalInfoFile(300), 0);
  EXPECT_EQ(NORV_DAL_CreateGlobalInfoFile(300), NORV_DAL_ERR_CREATE_FILE);
  const Bytes data = pattern(300, 7);
  EXPECT_EQ(NORV_DAL_WriteGlobalInfoFile(0, 300, data.data()), 0);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(0, 300, out.data()), 0);
  EXPECT_EQ(out, data);
  const Bytes patch = {0xAB, 0xCD};
  EXPECT_EQ(NORV_DAL_WriteGlobalInfoFile(298, 2, patch.data()), 0);
  Bytes tail(2);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(298, 2, tail.data()), 0);
  EXPECT_EQ(tail, patch);
  EXPECT_EQ(NORV_DAL_WriteGlobalInfoFile(299, 2, patch.data()), NORV_DAL_ERR_WRITE_FILE);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(250, 51, out.data()), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(-1, 2, out.data()), NORV_DAL_ERR_PARAM);
}

TEST_F(FilesE2eTest, UserDataFilesOfEveryTypeAndSelector) {
  format();
  const Bytes data = pattern(200, 1);
  for (std::int32_t type = 1; type <= 3; ++type) {
    for (std::int32_t selector = 0; selector <= 2; ++selector) {
      SCOPED_TRACE(testing::Message() << "type " << type << " selector " << selector);
      const std::int32_t index = selector + 1;
      const Bytes& pin = selector == 2 ? e2e::kSuperPin : e2e::kUserPin;
      const std::int32_t loginType = selector == 2 ? 1 : 2;
      const auto pinLen = static_cast<std::int32_t>(pin.size());
      // The header is written under the write access just chosen.
      ASSERT_EQ(NORV_DAL_Login(loginType, pin.data(), pinLen), 0);
      ASSERT_EQ(NORV_DAL_CreateUsrDataFile(type, index, 200, selector, selector), 0);
      Bytes out(200);
      EXPECT_EQ(NORV_DAL_Logout(1), 0);
      const std::int32_t bare = selector == 0 ? 0 : NORV_DAL_ERR_READ_FILE;
      EXPECT_EQ(write(type, index, data), bare);
      EXPECT_EQ(read(type, index, out), bare);
      EXPECT_EQ(NORV_DAL_Login(loginType, pin.data(), pinLen), 0);
      EXPECT_EQ(write(type, index, data), 0);
      EXPECT_EQ(read(type, index, out), 0);
      EXPECT_EQ(out, data);
      Bytes part(10);
      EXPECT_EQ(NORV_DAL_ReadUsrDataFile(type, index, 190, 10, part.data()), 0);
      EXPECT_EQ(part, Bytes(data.begin() + 190, data.end()));
      EXPECT_EQ(NORV_DAL_ReadUsrDataFile(type, index, 195, 10, part.data()),
                NORV_DAL_ERR_READ_FILE);
      EXPECT_EQ(NORV_DAL_DeleteUsrDataFile(type, index), 0);
      EXPECT_EQ(read(type, index, out), NORV_DAL_ERR_FILE_DELETED);
      EXPECT_EQ(write(type, index, data), NORV_DAL_ERR_FILE_DELETED);
      EXPECT_EQ(NORV_DAL_DeleteUsrDataFile(type, index), 0);
    }
  }
}

TEST_F(FilesE2eTest, ReadAccessAndWriteAccessAreSeparate) {
  format();
  const Bytes data = pattern(16, 0x40);
  // Without the write access the new file cannot be marked present.
  EXPECT_EQ(NORV_DAL_CreateUsrDataFile(2, 1, 16, 0, 2), NORV_DAL_ERR_WRITE_FILE);
  ASSERT_EQ(NORV_DAL_Login(1, e2e::kSuperPin.data(), 8), 0);
  ASSERT_EQ(NORV_DAL_CreateUsrDataFile(2, 0, 16, 0, 2), 0);
  EXPECT_EQ(NORV_DAL_Logout(1), 0);
  EXPECT_EQ(write(2, 0, data), NORV_DAL_ERR_WRITE_FILE);
  ASSERT_EQ(NORV_DAL_Login(1, e2e::kSuperPin.data(), 8), 0);
  EXPECT_EQ(write(2, 0, data), 0);
  EXPECT_EQ(NORV_DAL_Logout(1), 0);
  Bytes out(16);
  EXPECT_EQ(read(2, 0, out), 0);
  EXPECT_EQ(out, data);
  // A file never created is neither read nor marked.
  EXPECT_EQ(read(2, 99, out), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(NORV_DAL_DeleteUsrDataFile(2, 99), NORV_DAL_ERR_DELETE_FILE);
  EXPECT_EQ(write(2, 99, data), NORV_DAL_ERR_WRITE_FILE);
  EXPECT_EQ(read(2, 0, out), 0);
  // Type 1 index 0x200 is the card file of type 2 index 0.
  EXPECT_EQ(read(1, 0x200, out), 0);
  EXPECT_EQ(out, data);
  EXPECT_EQ(NORV_DAL_GetFreeSpace(0), NORV_DAL_ERR_NOT_SUPPORTED);
}

TEST_F(FilesE2eTest, FormattingAgainWipesEverything) {
  format();
  ASSERT_EQ(NORV_DAL_CreateGlobalInfoFile(8), 0);
  ASSERT_EQ(NORV_DAL_CreateUsrDataFile(3, 4, 8, 0, 0), 0);
  const Bytes newUser = {'4', '4', '4', '4'};
  ASSERT_EQ(NORV_DAL_ChangePin(2, e2e::kUserPin.data(), 6, newUser.data(), 4), 0);
  format();
  Bytes out(8);
  EXPECT_EQ(NORV_DAL_ReadGlobalInfoFile(0, 8, out.data()), NORV_DAL_ERR_READ_FILE);
  EXPECT_EQ(read(3, 4, out), NORV_DAL_ERR_READ_FILE);
  EXPECT_GT(NORV_DAL_Login(2, newUser.data(), 4), 0);
  EXPECT_EQ(NORV_DAL_Login(2, e2e::kUserPin.data(), 6), 0);
  EXPECT_EQ(NORV_DAL_CreateGlobalInfoFile(8), 0);
}

}  // namespace

// The function table seen by a caller that loads the library at run time:
// dlopen, one dlsym of NORV_DAL_GetFunctionList, and everything else
// through the table.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "norv_dal_tkp30.h"

namespace {

constexpr std::size_t kEntries = 69;
static_assert(sizeof(NORV_DAL_FUNCTION_LIST) == kEntries * sizeof(void*),
              "the table is 69 pointers and nothing else");

using Entries = std::array<void*, kEntries>;
using GetFunctionList = int32_t (*)(NORV_DAL_FUNCTION_LIST*);

// The export names, table order first, then NORV_DAL_GetFunctionList.
std::vector<std::string> exportNames() {
  std::ifstream in(NORV_EXPORT_LIST);
  std::vector<std::string> names;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) names.push_back(line);
  return names;
}

Entries entriesOf(const NORV_DAL_FUNCTION_LIST& table) {
  Entries entries{};
  std::memcpy(entries.data(), &table, sizeof table);
  return entries;
}

class FunctionTable : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(NORV_DAL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    getList_ = reinterpret_cast<GetFunctionList>(dlsym(handle_, "NORV_DAL_GetFunctionList"));
    ASSERT_NE(getList_, nullptr);
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }

  NORV_DAL_FUNCTION_LIST filledTable() {
    NORV_DAL_FUNCTION_LIST table;
    std::memset(&table, 0xA5, sizeof table);
    EXPECT_EQ(getList_(&table), NORV_DAL_OK);
    return table;
  }

  void* handle_ = nullptr;
  GetFunctionList getList_ = nullptr;
};

TEST_F(FunctionTable, EveryEntryIsTheAddressOfItsExport) {
  const auto names = exportNames();
  ASSERT_EQ(names.size(), kEntries + 1);
  const Entries entries = entriesOf(filledTable());
  for (std::size_t i = 0; i < kEntries; ++i) {
    void* exported = dlsym(handle_, names[i].c_str());
    ASSERT_NE(exported, nullptr) << names[i] << " is not exported";
    EXPECT_EQ(entries[i], exported) << "entry " << i << " (" << names[i] << ")";
  }
}

TEST_F(FunctionTable, ExportsThatAreOneRoutineShareOneAddress) {
  const Entries entries = entriesOf(filledTable());
  // The release call of DES, RC2 and RC4; RC4 update and encrypt; the
  // session no-ops.
  EXPECT_EQ(entries[26], entries[37]);
  EXPECT_EQ(entries[26], entries[48]);
  EXPECT_EQ(entries[46], entries[49]);
  EXPECT_EQ(entries[67], entries[68]);
  // Only those: every other pair of entries differs.
  std::size_t sharing = 0;
  for (std::size_t i = 0; i < kEntries; ++i)
    for (std::size_t j = i + 1; j < kEntries; ++j)
      if (entries[i] == entries[j]) ++sharing;
  EXPECT_EQ(sharing, 5u);  // 26=37, 26=48, 37=48, 46=49, 67=68
}

TEST_F(FunctionTable, RepeatedCallsWriteTheSameTableAndNullIsRefused) {
  const Entries first = entriesOf(filledTable());
  const Entries second = entriesOf(filledTable());
  EXPECT_EQ(first, second);
  EXPECT_EQ(getList_(nullptr), NORV_DAL_ERR_PARAM);
}

TEST_F(FunctionTable, CallsThroughTheTableBehaveLikeTheExports) {
  const NORV_DAL_FUNCTION_LIST table = filledTable();
  EXPECT_EQ(table.GetFreeSpace(0), NORV_DAL_ERR_NOT_SUPPORTED);
  EXPECT_EQ(table.InitializeEx(7), NORV_DAL_OK);

  char viaTable[NORV_DAL_ERRMSG_SIZE] = {};
  char viaName[NORV_DAL_ERRMSG_SIZE] = {};
  table.GetErrMsg(NORV_DAL_ERR_LOGIN, viaTable);
  auto byName = reinterpret_cast<int32_t (*)(int32_t, char*)>(dlsym(handle_, "NORV_DAL_GetErrMsg"));
  ASSERT_NE(byName, nullptr);
  byName(NORV_DAL_ERR_LOGIN, viaName);
  EXPECT_STREQ(viaTable, viaName);
  EXPECT_STREQ(viaTable, "\xB5\xC7\xC2\xBC\xCA\xA7\xB0\xDC");  // "login failed" in GBK

  // A software cipher round trip through the table: nothing here touches
  // the token.
  const uint8_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  DesCtx* ctx = nullptr;
  ASSERT_EQ(table.DesAcquireContext(key, 8, nullptr, NORV_DAL_MODE_ECB, 1, &ctx), NORV_DAL_OK);
  uint8_t cipher[16] = {};
  uint32_t cipherLen = 0;
  ASSERT_EQ(table.DesEncrypt(ctx, reinterpret_cast<const uint8_t*>("abc"), 3, cipher, &cipherLen),
            NORV_DAL_OK);
  EXPECT_EQ(cipherLen, 8u);
  EXPECT_EQ(table.Rc2ReleaseCtx(reinterpret_cast<Rc2Ctx*>(ctx)), NORV_DAL_OK);
}

}  // namespace

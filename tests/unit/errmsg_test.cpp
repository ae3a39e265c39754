// Every result's message, checked against the UTF-8 text converted to GBK
// by the system's converter, so that the test does not share the library's
// byte escapes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "norv_dal_tkp30.h"
#include "support/test_os.h"

namespace {

std::string toGbk(const std::string& utf8) {
  std::string gbk;
  EXPECT_TRUE(testos::utf8ToGbk(utf8, gbk)) << utf8;
  return gbk;
}

std::string messageOf(int32_t code) {
  char buf[64];
  std::memset(buf, 0x5A, sizeof buf);
  EXPECT_EQ(NORV_DAL_GetErrMsg(code, buf), 0);
  EXPECT_LT(std::strlen(buf), static_cast<size_t>(NORV_DAL_ERRMSG_SIZE));
  return buf;
}

const std::vector<std::pair<int32_t, std::string>> kTable = {
    {-500, "参数错误"}, {-191, "同步操作失败"}, {-190, "创建同步对象失败"},
    {-180, "产生随机数失败"}, {-165, "SSF运算出错"}, {-164, "密文内容不正确"},
    {-163, "密码运算模式不支持"}, {-162, "创建对称密钥对象失败"}, {-161, "RSA运算出错"},
    {-160, "数据长度错误"}, {-151, "产生密钥对错误"}, {-150, "模长不支持"},
    {-130, "删除文件失败"}, {-129, "指定的文件已删除"}, {-128, "读文件失败"},
    {-127, "写文件失败"}, {-126, "写PIN失败"}, {-125, "写KEY文件失败"},
    {-124, "创建KEY文件失败"}, {-123, "创建文件失败"}, {-122, "写文件失败"},
    {-120, "清除设备格式失败"}, {-115, "退出登录失败"}, {-114, "登录失败"},
    {-113, "修改PIN失败"}, {-112, "解锁PIN失败"}, {-111, "校验PIN失败"},
    {-110, "解锁USER PIN时校检SUP PIN失败"}, {-105, "其它错误"}, {-102, "设备复位错"},
    {-101, "打开设备错"}, {-100, "没有指定的设备"}, {-10, "此功能不支持"},
    {-2, "超级PIN已锁"}, {-1, "用户PIN码已锁"},
};

TEST(ErrMsg, EveryCodeOfTheTable) {
  for (const auto& [code, utf8] : kTable) EXPECT_EQ(messageOf(code), toGbk(utf8)) << code;
}

TEST(ErrMsg, TriesLeft) {
  EXPECT_EQ(messageOf(3), toGbk("PIN码不正确，还有3次重试机会"));
  EXPECT_EQ(messageOf(1), toGbk("PIN码不正确，还有1次重试机会"));
  const std::string fourteen = messageOf(14);
  EXPECT_EQ(fourteen, toGbk("PIN码不正确，还有14次重试机会"));
  EXPECT_EQ(fourteen.size(), 29u);
}

TEST(ErrMsg, UnknownCodes) {
  const std::string unknown = toGbk("未知的错误");
  for (int32_t code : {15, 27266, 0, -3, -103, -200, 0x7FFFFFFF, static_cast<int32_t>(0x80000000)})
    EXPECT_EQ(messageOf(code), unknown) << code;
}

TEST(ErrMsg, SharedAndLongestTexts) {
  EXPECT_EQ(messageOf(-122), messageOf(-127));
  EXPECT_EQ(messageOf(-110).size(), 29u);
}

TEST(ErrMsg, NullBufferIsRefused) { EXPECT_EQ(NORV_DAL_GetErrMsg(-500, nullptr), -500); }

TEST(ErrMsg, WritesNothingPastTheTerminator) {
  char buf[40];
  std::memset(buf, 0x5A, sizeof buf);
  NORV_DAL_GetErrMsg(-114, buf);
  const size_t len = std::strlen(buf);
  for (size_t i = len + 1; i < sizeof buf; ++i) EXPECT_EQ(buf[i], 0x5A);
}

}  // namespace

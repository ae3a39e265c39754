// The diagnostic log's line formats and file handling.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "device/log.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Log : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(NORV_TEST_BINARY_DIR) / "testtmp" / ("log-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "dal_tkp30.txt").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
  std::string path_;
};

TEST_F(Log, LineFormats) {
  dal::DalLog(path_.c_str(), "src/a.cpp", 12, "******>NORV_DAL_Login");
  dal::DalLogValue(path_.c_str(), "src/b.cpp", 7, "******>Wrt Select Error:", 0x6A82);
  dal::DalLogValue(path_.c_str(), "f", 1, "v", -1);
  dal::DalLogValue(path_.c_str(), "f", 2, "size:", 0);
  dal::DalLogValue(path_.c_str(), "f", 3, "rv", 0x9000);
  EXPECT_EQ(readAll(path_),
            "File src/a.cpp; Line 12 # ******>NORV_DAL_Login\n"
            "File src/b.cpp; Line 7 # ******>Wrt Select Error:27266:0x6A82\n"
            "File f; Line 1 # v-1:0xFFFFFFFF\n"
            "File f; Line 2 # size:0:0x0\n"
            "File f; Line 3 # rv36864:0x9000\n");
}

TEST_F(Log, AppendsAndKeepsEarlierContent) {
  { std::ofstream(path_) << "earlier\n"; }
  dal::DalLog(path_.c_str(), "s", 1, "one");
  dal::DalLog(path_.c_str(), "s", 2, "two");
  EXPECT_EQ(readAll(path_), "earlier\nFile s; Line 1 # one\nFile s; Line 2 # two\n");
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
}

TEST_F(Log, NewFileIsNotWorldReadable) {
  dal::DalLog(path_.c_str(), "s", 1, "x");
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0007, 0u);
}

TEST_F(Log, NullPathAndMissingDirectoryWriteNothing) {
  dal::DalLog(nullptr, "s", 1, "x");
  dal::DalLogValue(nullptr, "s", 1, "x", 5);
  const fs::path missing = dir_ / "absent" / "dal_tkp30.txt";
  dal::DalLog(missing.c_str(), "s", 1, "x");
  dal::DalLogValue(missing.c_str(), "s", 1, "x", 1);
  EXPECT_FALSE(fs::exists(dir_ / "absent"));
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(Log, PlantedSymbolicLinkIsNotFollowed) {
  const fs::path target = dir_ / "victim";
  { std::ofstream(target) << "keep"; }
  fs::create_symlink(target, path_);
  dal::DalLog(path_.c_str(), "s", 1, "x");
  EXPECT_EQ(readAll(target), "keep");
}

// A FIFO at the log's path neither holds the call up (with or without a
// reader) nor gets a line; nor does a file with another hard link.
TEST_F(Log, OnlyAPlainFileUnderOneNameIsAppendedTo) {
  ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::alarm(10);  // a call that hangs fails the test
    dal::DalLog(path_.c_str(), "s", 1, "x");
    const int reader = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    dal::DalLog(path_.c_str(), "s", 2, "y");
    char byte = 0;
    ::_exit(::read(reader, &byte, 1) > 0 ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ASSERT_EQ(::unlink(path_.c_str()), 0);

  const fs::path other = dir_ / "other";
  { std::ofstream(other) << "keep"; }
  ASSERT_EQ(::link(other.c_str(), path_.c_str()), 0);
  dal::DalLog(path_.c_str(), "s", 1, "x");
  EXPECT_EQ(readAll(other), "keep");
}

TEST_F(Log, LibraryLinesNameTheirSourceRelativeToTheProject) {
  DAL_LOG("hello");
  const std::string all = readAll(dal::DalLogPath());
  EXPECT_NE(all.find("File tests/unit/log_test.cpp; Line "), std::string::npos) << all;
}

}  // namespace

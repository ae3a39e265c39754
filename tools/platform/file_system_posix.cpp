#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "common/secret_bytes.h"
#include "platform/file_system.h"

namespace tkp30 {

int openForReading(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }
int standardInput() { return STDIN_FILENO; }
std::FILE* standardOutput() { return stdout; }
long readSome(int fd, std::span<std::uint8_t> buffer) {
  return ::read(fd, buffer.data(), buffer.size());
}
void closeFile(int fd) { ::close(fd); }

std::optional<std::uint64_t> regularFileSize(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

std::FILE* createFileBeside(const std::string& path, std::string& tempPath) {
  tempPath = path + ".XXXXXX";
  const int fd = mkstemp(tempPath.data());
  if (fd < 0) return nullptr;
  // mkstemp creates 0600; the result gets the mode any new file would.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    ::close(fd);
    ::unlink(tempPath.c_str());
  }
  return file;
}

bool replaceFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

// Byte by byte with read(2), so that no stdio buffer keeps a copy.
bool readUnbuffered(const std::string& path, common::SecretBytes& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::uint8_t byte = 0;
  ssize_t n = 0;
  while ((n = ::read(fd, &byte, 1)) == 1) bytes.push_back(byte);
  OPENSSL_cleanse(&byte, sizeof byte);
  ::close(fd);
  return n == 0;
}

std::string makePrivateTempDir(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

}  // namespace tkp30

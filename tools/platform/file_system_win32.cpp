// Files on Windows: a new file is created exclusively under a fresh name,
// a replace is MoveFileExA with REPLACE_EXISTING (rename() will not
// replace), and the private temporary folder inherits the user's profile
// folder's permissions.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "common/secret_bytes.h"
#include "platform/file_system.h"

namespace tkp30 {
namespace {

constexpr int kAttempts = 100;

std::string uniqueSuffix(unsigned attempt) {
  char suffix[48];
  const int n = std::snprintf(suffix, sizeof suffix, ".%lu-%lu-%u", GetCurrentProcessId(),
                              GetTickCount(), attempt);
  return std::string(suffix, static_cast<std::size_t>(n));
}

void setErrno(DWORD code) {
  errno = code == ERROR_ACCESS_DENIED ? EACCES : code == ERROR_PATH_NOT_FOUND ? ENOENT : EIO;
}

}  // namespace

int openForReading(const std::string& path) {
  return _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
int standardInput() {
  _setmode(0, _O_BINARY);  // data, not text: no CR LF translation
  return 0;
}
long readSome(int fd, std::span<std::uint8_t> buffer) {
  constexpr std::size_t kMostAtOnce = 1 << 30;
  return _read(fd, buffer.data(), static_cast<unsigned>(std::min(buffer.size(), kMostAtOnce)));
}
std::FILE* standardOutput() {
  (void)std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
  return stdout;
}
void closeFile(int fd) { _close(fd); }

std::optional<std::uint64_t> regularFileSize(int fd) {
  struct _stat64 st {};
  if (_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

std::FILE* createFileBeside(const std::string& path, std::string& tempPath) {
  for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
    tempPath = path + uniqueSuffix(attempt);
    const int fd =
        _open(tempPath.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
      _close(fd);
      std::remove(tempPath.c_str());
    }
    return file;
  }
  errno = EEXIST;
  return nullptr;
}

bool replaceFile(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  setErrno(GetLastError());
  return false;
}

// Byte by byte with _read, so that no stdio buffer keeps a copy.
bool readUnbuffered(const std::string& path, common::SecretBytes& bytes) {
  const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
  if (fd < 0) return false;
  std::uint8_t byte = 0;
  int n = 0;
  while ((n = _read(fd, &byte, 1)) == 1) bytes.push_back(byte);
  SecureZeroMemory(&byte, sizeof byte);
  _close(fd);
  return n == 0;
}

std::string makePrivateTempDir(const std::string& prefix) {
  std::error_code ec;
  const std::filesystem::path root = std::filesystem::temp_directory_path(ec);
  if (ec) return {};
  for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string path = (root / (prefix + uniqueSuffix(attempt).substr(1))).string();
    if (CreateDirectoryA(path.c_str(), nullptr)) return path;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

}  // namespace tkp30

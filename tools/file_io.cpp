#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "interrupt.h"
#include "tool_error.h"

namespace tkp30 {
namespace {

bool isStdio(const std::string& path) { return path == "-"; }

Failure fileError(const std::string& what, const std::string& path) {
  return Failure(what + " " + path + ": " + std::strerror(errno));
}

}  // namespace

InputFile::InputFile(const std::string& path)
    : path_(path),
      fd_(isStdio(path) ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC)),
      owned_(!isStdio(path)) {
  if (fd_ < 0) throw fileError("cannot read", path);
  struct stat st {};
  if (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<std::uint64_t>(st.st_size);
}

InputFile::~InputFile() {
  if (owned_) ::close(fd_);
}

// Plain read(2): a pipe's bytes are taken as they come, and a signal is
// noticed while the tool waits for more.
std::size_t InputFile::read(std::span<std::uint8_t> buffer) {
  for (;;) {
    if (!size_) waitReadable(fd_);
    const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw fileError("cannot read", path_);
    throwIfInterrupted();
  }
}

OutputFile::OutputFile(const std::string& path) : path_(path), file_(stdout) {
  if (isStdio(path)) return;
  // Said now rather than when the finished file cannot be put in place.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    throw fileError("cannot write", path);
  }
  tempPath_ = path + ".XXXXXX";
  const int fd = mkstemp(tempPath_.data());
  if (fd < 0) throw fileError("cannot write", path);
  // mkstemp creates 0600; the result gets the mode any new file would.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    ::close(fd);
    ::unlink(tempPath_.c_str());
    throw fileError("cannot write", path);
  }
}

OutputFile::~OutputFile() {
  if (isStdio(path_)) return;
  if (!committed_) {
    (void)std::fclose(file_);
    ::unlink(tempPath_.c_str());
  }
}

void OutputFile::write(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    throwIfInterrupted();
    throw fileError("cannot write", path_);
  }
}

void OutputFile::commit() {
  if (isStdio(path_)) {
    if (std::fflush(stdout) != 0) throw fileError("cannot write", path_);
    return;
  }
  const bool written = std::fclose(file_) == 0;
  committed_ = true;
  if (!written || std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
    ::unlink(tempPath_.c_str());
    throw fileError("cannot write", path_);
  }
}

std::vector<std::uint8_t> readWholeFile(const std::string& path) {
  InputFile in(path);
  std::vector<std::uint8_t> bytes;
  std::array<std::uint8_t, 4096> chunk;
  while (const std::size_t n = in.read(chunk))
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
  return bytes;
}

// Read with plain read(2) so that no stdio buffer keeps a copy.
SecretBytes readSecretFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw fileError("cannot read", path);
  SecretBytes bytes;
  std::uint8_t byte = 0;
  ssize_t n = 0;
  while ((n = ::read(fd, &byte, 1)) == 1) bytes.push_back(byte);
  OPENSSL_cleanse(&byte, sizeof byte);
  ::close(fd);
  if (n < 0) throw fileError("cannot read", path);
  return bytes;
}

void writeWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  OutputFile out(path);
  out.write(bytes);
  out.commit();
}

void writeTextFile(const std::string& path, std::string_view text) {
  writeWholeFile(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

}  // namespace tkp30

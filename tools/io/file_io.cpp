#include "io/file_io.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "common/secret_bytes.h"
#include "io/tool_error.h"
#include "platform/file_system.h"
#include "platform/interrupt.h"

namespace tkp30 {
namespace {

bool isStdio(const std::string& path) { return path == "-"; }

Failure fileError(const std::string& what, const std::string& path) {
  return Failure(what + " " + path + ": " + std::strerror(errno));
}

}  // namespace

InputFile::InputFile(const std::string& path)
    : path_(path),
      fd_(isStdio(path) ? standardInput() : openForReading(path)),
      owned_(!isStdio(path)) {
  if (fd_ < 0) throw fileError("cannot read", path);
  size_ = regularFileSize(fd_);
}

InputFile::~InputFile() {
  if (owned_) closeFile(fd_);
}

// Plain reads of the descriptor: a pipe's bytes are taken as they come,
// and a signal is noticed while the tool waits for more.
std::size_t InputFile::read(std::span<std::uint8_t> buffer) {
  for (;;) {
    if (!size_) waitReadable(fd_);
    const long n = readSome(fd_, buffer);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw fileError("cannot read", path_);
    throwIfInterrupted();
  }
}

OutputFile::OutputFile(const std::string& path) : path_(path), file_(stdout) {
  if (isStdio(path)) {
    file_ = standardOutput();
    return;
  }
  // Said now rather than when the finished file cannot be put in place.
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    errno = EISDIR;
    throw fileError("cannot write", path);
  }
  file_ = createFileBeside(path, tempPath_);
  if (file_ == nullptr) throw fileError("cannot write", path);
}

OutputFile::~OutputFile() {
  if (isStdio(path_)) return;
  if (!committed_) {
    (void)std::fclose(file_);
    (void)std::remove(tempPath_.c_str());
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
  if (!written || !replaceFile(tempPath_, path_)) {
    (void)std::remove(tempPath_.c_str());
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

common::SecretBytes readSecretFile(const std::string& path) {
  common::SecretBytes bytes;
  if (!readUnbuffered(path, bytes)) throw fileError("cannot read", path);
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

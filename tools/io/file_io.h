// Files in and out of the commands; "-" is standard input or output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/secret_bytes.h"

namespace tkp30 {

class InputFile {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Reads up to buffer.size() bytes; 0 at the end. Waiting for a pipe or
  // a terminal ends with Interrupted when a deferred signal comes.
  std::size_t read(std::span<std::uint8_t> buffer);
  // The size when the input is a regular file.
  std::optional<std::uint64_t> size() const { return size_; }

 private:
  std::string path_;
  int fd_;
  bool owned_;
  std::optional<std::uint64_t> size_;
};

// Writes into a temporary file beside the destination and puts it in place
// only on commit(), so that a failed command leaves the destination as it
// was. Standard output is written straight through.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void write(std::span<const std::uint8_t> bytes);
  void commit();

 private:
  std::string path_;
  std::string tempPath_;
  std::FILE* file_;
  bool committed_ = false;
};

std::vector<std::uint8_t> readWholeFile(const std::string& path);
// For PINs and keys kept in files.
common::SecretBytes readSecretFile(const std::string& path);
void writeWholeFile(const std::string& path, std::span<const std::uint8_t> bytes);
void writeTextFile(const std::string& path, std::string_view text);

}  // namespace tkp30

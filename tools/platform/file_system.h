// What the tool's file handling needs from the platform: one
// implementation file per platform. Failures leave errno set.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>

#include "common/secret_bytes.h"

namespace tkp30 {

// Descriptors of the C runtime for reading: -1 when the file cannot be
// opened; readSome() returns the bytes read, 0 at the end, -1 on failure.
int openForReading(const std::string& path);
int standardInput();
// Standard output for data: no line-end translation.
std::FILE* standardOutput();
long readSome(int fd, std::span<std::uint8_t> buffer);
void closeFile(int fd);

// The size of an open file when it is a regular file.
std::optional<std::uint64_t> regularFileSize(int fd);

// Creates a new file beside `path`, with the permissions any new file gets,
// open for writing; its name goes to `tempPath`. Null when it cannot.
std::FILE* createFileBeside(const std::string& path, std::string& tempPath);

// Puts the file `from` in the place of `to`, replacing it.
bool replaceFile(const std::string& from, const std::string& to);

// Reads the whole file without a buffer of the C library keeping a copy.
bool readUnbuffered(const std::string& path, common::SecretBytes& bytes);

// A new directory under the system's temporary folder that only this user
// can enter; empty when it cannot be made.
std::string makePrivateTempDir(const std::string& prefix);

}  // namespace tkp30

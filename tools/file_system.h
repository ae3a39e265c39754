// What the tool's file handling needs from the platform: one
// implementation file per platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "secret_bytes.h"

namespace tkp30 {

// The size of an open file when it is a regular file.
std::optional<std::uint64_t> regularFileSize(std::FILE* file);

// Creates a new file beside `path`, with the permissions any new file gets,
// open for writing; its name goes to `tempPath`. Null (errno set) when it
// cannot.
std::FILE* createFileBeside(const std::string& path, std::string& tempPath);

// Puts the file `from` in the place of `to`, replacing it; false (errno
// set) when it cannot.
bool replaceFile(const std::string& from, const std::string& to);

// Reads the whole file without a buffer of the C library keeping a copy;
// false (errno set) when it cannot.
bool readUnbuffered(const std::string& path, SecretBytes& bytes);

// A new directory under the system's temporary folder that only this user
// can enter; empty when it cannot be made.
std::string makePrivateTempDir(const std::string& prefix);

}  // namespace tkp30

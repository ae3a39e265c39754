// Where PINs, pass phrases and keys come from besides a prompt: an
// environment variable, or a file read without stdio buffers.
#pragma once

#include <optional>
#include <string>

#include "common/secret_bytes.h"

namespace tkp30 {

// The variable's value; nothing when it is not set.
std::optional<common::SecretBytes> secretFromEnvironment(const std::string& variable);

// The first line of a file, without its line end.
common::SecretBytes readSecretLine(const std::string& path);

}  // namespace tkp30

// What the tool needs from the console and its process environment: one
// implementation file per platform.
#pragma once

#include <optional>
#include <string>

#include "common/secret_bytes.h"

namespace tkp30 {

bool stdinIsTerminal();
bool stderrIsTerminal();

// Asks on the terminal itself (not standard input, which may be data)
// with echo off; nothing when there is no terminal.
std::optional<common::SecretBytes> askHidden(const std::string& prompt);

void setEnvironment(const char* name, const std::string& value);

}  // namespace tkp30

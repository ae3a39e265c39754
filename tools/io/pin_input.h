// Where a PIN comes from: an environment variable or a file for scripts,
// otherwise a prompt on the terminal with echo off. Never the command
// line, where other users can read it.
#pragma once

#include <optional>
#include <string>

#include "common/secret_bytes.h"

namespace tkp30 {

struct PinSource {
  std::string name;         // "user-pin", "super-pin"…
  std::string description;  // for the options' help: "the new user PIN"
  std::string envVariable;
  std::string file;
};

// Reads the PIN that prompts and messages call `which` ("user PIN", "new
// super PIN"). With `confirm`, a prompt asks twice and insists on the
// same answer. A file's PIN ends at its first line end.
common::SecretBytes readPin(const PinSource& source, const std::string& which,
                            bool confirm = false);

// Asks for a secret on the terminal with echo off ("Enter <which>: ");
// nothing when there is no terminal. Ctrl-C restores the echo before the
// tool ends.
std::optional<common::SecretBytes> askOnTerminal(const std::string& which);

}  // namespace tkp30

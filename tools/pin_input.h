// Where a PIN comes from: an environment variable or a file for scripts,
// otherwise a prompt on the terminal with echo off. Never the command
// line, where other users can read it.
#pragma once

#include <string>

#include "secret_bytes.h"

namespace CLI {
class App;
}

namespace tkp30 {

struct PinSource {
  std::string name;         // "user-pin", "super-pin"…
  std::string description;  // "the user PIN"
  std::string envVariable;
  std::string file;
};

// Adds --<name>-env VAR and --<name>-file FILE to the command.
void addPinOptions(CLI::App& command, PinSource& source);

// Reads the PIN. With `confirm`, a prompt asks twice and insists on the
// same answer. A file's PIN ends at its first line end.
SecretBytes readPin(const PinSource& source, bool confirm = false);

}  // namespace tkp30

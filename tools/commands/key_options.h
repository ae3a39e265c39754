// Options shared by the commands that use a key pair on the token.
#pragma once

#include "common/digest_info.h"
#include "crypto/digest.h"

namespace CLI {  // NOLINT(readability-identifier-naming): the parser's own name
class App;
}

namespace tkp30 {

// --key SLOT (0 to 3), required.
void addKeySlotOption(CLI::App& command, int& slot);

// --hash sha1|sha256|sha384|sha512 (default sha256).
void addHashOption(CLI::App& command, common::Hash& hash);

}  // namespace tkp30

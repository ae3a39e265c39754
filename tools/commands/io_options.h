// The options that fill the io/ room's descriptions of where bytes and
// PINs come from and go: the parser stays in this room, the reading and
// writing in io/.
#pragma once

#include "io/data_io.h"
#include "io/pin_input.h"

namespace CLI {  // NOLINT(readability-identifier-naming): the parser's own name
class App;
}

namespace tkp30 {

// -i/--in FILE or --hex DIGITS, one or the other.
void addDataInOptions(CLI::App& command, DataIn& in);
// -o/--out FILE; without it the bytes are shown as hex.
void addDataOutOptions(CLI::App& command, DataOut& out);

// Adds --<name>-env VAR and --<name>-file FILE to the command.
void addPinOptions(CLI::App& command, PinSource& source);

}  // namespace tkp30

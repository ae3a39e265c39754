#include "commands/io_options.h"

#include <CLI/CLI.hpp>

namespace tkp30 {

void addDataInOptions(CLI::App& command, DataIn& in) {
  auto* file = command.add_option("-i,--in", in.file, "Read the data from this file (- for stdin)");
  auto* hex = command.add_option("--hex", in.hex, "The data as hex digits");
  file->excludes(hex);
}

void addDataOutOptions(CLI::App& command, DataOut& out) {
  command.add_option("-o,--out", out.file,
                     "Write the raw bytes to this file (- for stdout); "
                     "without it they are shown as hex");
}

void addPinOptions(CLI::App& command, PinSource& source) {
  auto* env = command.add_option("--" + source.name + "-env", source.envVariable,
                                 "Read " + source.description + " from this environment variable");
  auto* file = command.add_option("--" + source.name + "-file", source.file,
                                  "Read " + source.description + " from this file (first line)");
  env->excludes(file);
}

}  // namespace tkp30

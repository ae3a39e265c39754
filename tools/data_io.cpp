#include "data_io.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "file_io.h"
#include "hex.h"
#include "tool_error.h"

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

std::vector<std::uint8_t> readData(const DataIn& in) {
  if (!in.file.empty()) return readWholeFile(in.file);
  if (in.hex.empty()) throw UsageError("give the data with --in FILE or --hex DIGITS");
  auto bytes = parseHex(in.hex);
  if (!bytes) throw UsageError("--hex takes pairs of hex digits");
  return *bytes;
}

void writeData(const DataOut& out, std::span<const std::uint8_t> bytes) {
  if (out.file.empty()) {
    std::cout << toHex(bytes) << "\n";
    return;
  }
  writeWholeFile(out.file, bytes);
}

}  // namespace tkp30

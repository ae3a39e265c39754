#include "io/data_io.h"

#include <iostream>

#include "io/file_io.h"
#include "io/hex.h"
#include "io/tool_error.h"

namespace tkp30 {

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

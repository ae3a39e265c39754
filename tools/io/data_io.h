// The bytes a file command writes to the token, and where the bytes it
// reads go: hex on the command line or in the terminal, raw in files.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tkp30 {

struct DataIn {
  std::string file;
  std::string hex;
};
struct DataOut {
  std::string file;  // empty: hex on standard output
};

std::vector<std::uint8_t> readData(const DataIn& in);
void writeData(const DataOut& out, std::span<const std::uint8_t> bytes);

}  // namespace tkp30

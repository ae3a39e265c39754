#include "support/log_reader.h"

#include <filesystem>
#include <fstream>

#include "device/log.h"

namespace testlog {

void clear() {
  const std::filesystem::path path(dal::DalLogPath());
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::trunc);
}

std::vector<std::string> lines() {
  std::vector<std::string> out;
  std::ifstream in(dal::DalLogPath());
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::vector<std::string> texts() {
  std::vector<std::string> out;
  for (const std::string& line : lines()) {
    const auto at = line.find(" # ");
    out.push_back(at == std::string::npos ? line : line.substr(at + 3));
  }
  return out;
}

}  // namespace testlog

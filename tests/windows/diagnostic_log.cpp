#include "windows/diagnostic_log.h"

#include <windows.h>

#include <fstream>
#include <iterator>

namespace wintest {

void removeLogDirectory() {
  DeleteFileA(kLogFile);
  RemoveDirectoryA(kLogDirectory);
}

LogDirectory::LogDirectory() {
  removeLogDirectory();
  CreateDirectoryA(kLogDirectory, nullptr);
}

std::string LogDirectory::read() const {
  std::ifstream in(kLogFile, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace wintest

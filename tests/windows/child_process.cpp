#include "windows/child_process.h"

#include <windows.h>

#include <vector>

namespace wintest {

void* startChild(const std::string& role, const std::string& argument) {
  char program[MAX_PATH];
  if (GetModuleFileNameA(nullptr, program, sizeof program) == 0) return nullptr;
  // Appended piece by piece: GCC 12 reports a false -Wrestrict for the
  // concatenation of a literal and a string.
  std::vector<char> line;
  for (const std::string& piece : {std::string(program), role, argument}) {
    line.push_back('"');
    line.insert(line.end(), piece.begin(), piece.end());
    line.push_back('"');
    line.push_back(' ');
  }
  line.back() = '\0';
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return nullptr;
  CloseHandle(info.hThread);
  return info.hProcess;
}

int finishChild(void* process) {
  if (process == nullptr) return -1;
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  const bool ok = GetExitCodeProcess(process, &code) != 0;
  CloseHandle(process);
  return ok ? static_cast<int>(code) : -1;
}

void* namedEvent(const std::string& name) {
  return CreateEventA(nullptr, TRUE, FALSE, name.c_str());
}

}  // namespace wintest

#include <windows.h>

#include "trace_output.h"

namespace dmcos {
namespace {

void writeAll(HANDLE target, std::string_view text) {
  DWORD written = 0;
  WriteFile(target, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

// The file is opened with full sharing and never through a reparse point.
void writeTrace(const char* target, std::string_view text) {
  if (target == std::string_view("-")) {
    writeAll(GetStdHandle(STD_ERROR_HANDLE), text);
    return;
  }
  HANDLE file =
      CreateFileA(target, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file, &info) != 0 &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
    writeAll(file, text);
  CloseHandle(file);
}

}  // namespace dmcos

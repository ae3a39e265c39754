// The log on Windows is a text file: each "\n" reaches it as CR LF. The
// line is appended with one write, the file opened with full sharing and
// never through a reparse point (a planted link is not followed).
#include <windows.h>

#include <string>

#include "device/log_file.h"

namespace dal {
namespace {

std::string withCrLf(std::string_view line) {
  std::string text;
  text.reserve(line.size() + 2);
  for (const char c : line) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}

bool isReparsePoint(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(file, &info) == 0 ||
         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

void DalAppendLine(const char* logPath, std::string_view line) {
  if (logPath == nullptr) return;
  const std::string text = withCrLf(line);
  HANDLE file =
      CreateFileA(logPath, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  if (!isReparsePoint(file)) {
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
  CloseHandle(file);
}

int DalProcessId() { return static_cast<int>(GetCurrentProcessId()); }

}  // namespace dal

#include <windows.h>

#include <cstdlib>
#include <stdexcept>

#include "support/test_os.h"

namespace testos {

std::string makeTempDir(const std::string& prefix) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = prefix + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount()) + "-" + std::to_string(++counter);
    if (CreateDirectoryA(path.c_str(), nullptr)) return path;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("cannot create a directory " + prefix + "...");
}

// Windows has no folder in memory; under Wine, drive Z: shows the host's
// root and with it /dev/shm.
std::string memoryTempRoot() {
  constexpr char kWineHostShm[] = "Z:\\dev\\shm";
  const DWORD attributes = GetFileAttributesA(kWineHostShm);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return "";
  return kWineHostShm;
}

bool utf8ToGbk(const std::string& utf8, std::string& gbk) {
  constexpr UINT kGbk = 936;
  const int size = static_cast<int>(utf8.size());
  const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (size > 0 && wide <= 0) return false;
  std::wstring text(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), wide);
  const int bytes = WideCharToMultiByte(kGbk, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
  if (wide > 0 && bytes <= 0) return false;
  gbk.assign(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(kGbk, 0, text.data(), wide, gbk.data(), bytes, nullptr, nullptr);
  return true;
}

// _putenv_s changes the C runtime's copy, which getenv() in our DLLs reads.
void setEnv(const char* name, const char* value) { _putenv_s(name, value); }
void unsetEnv(const char* name) { _putenv_s(name, ""); }

}  // namespace testos

#include <windows.h>

#include <cstdio>

#include "pcsc_error.h"

namespace dmcos::pcsc {

// Windows describes SCARD_* results among its system messages.
std::string errorText(LONG result) {
  char text[256] = {};
  const DWORD code = static_cast<DWORD>(result);
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
  if (n == 0) {
    char number[32];
    const int len = std::snprintf(number, sizeof number, "PC/SC error 0x%08lX", code);
    return std::string(number, static_cast<std::size_t>(len));
  }
  return std::string(text, n);
}

}  // namespace dmcos::pcsc

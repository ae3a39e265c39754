// On Windows the terminal's encoding is the console's code page (the ANSI
// code page when there is no console).
#include <windows.h>

#include "gbk.h"

namespace tkp30 {
namespace {

constexpr UINT kGbkCodePage = 936;

}  // namespace

std::string gbkToLocale(std::string_view gbk) {
  if (gbk.empty()) return {};
  const int size = static_cast<int>(gbk.size());
  const int wide = MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), size, nullptr, 0);
  if (wide <= 0) return std::string(gbk);
  std::wstring text(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), size, text.data(), wide);
  UINT target = GetConsoleOutputCP();
  if (target == 0) target = GetACP();
  // UTF-8 takes no default character; the others show '?' for what they lack.
  const char* fallback = target == CP_UTF8 ? nullptr : "?";
  const int bytes =
      WideCharToMultiByte(target, 0, text.data(), wide, nullptr, 0, fallback, nullptr);
  if (bytes <= 0) return std::string(gbk);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(target, 0, text.data(), wide, out.data(), bytes, fallback, nullptr);
  return out;
}

}  // namespace tkp30

// On Windows the terminal's encoding is the console's code page (the ANSI
// code page when there is no console).
#include <windows.h>

#include "platform/gbk.h"

namespace tkp30 {
namespace {

constexpr UINT kGbkCodePage = 936;

}  // namespace

std::optional<std::string> gbkToLocale(std::string_view gbk) {
  if (gbk.empty()) return std::string();
  const int size = static_cast<int>(gbk.size());
  const int wide =
      MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(), size, nullptr, 0);
  if (wide <= 0) return std::nullopt;  // a broken byte
  std::wstring text(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), size, text.data(), wide);
  UINT target = GetConsoleOutputCP();
  if (target == 0) target = GetACP();
  // UTF-8 holds every character; another code page may lack some.
  BOOL lacking = FALSE;
  BOOL* const lackingOut = target == CP_UTF8 ? nullptr : &lacking;
  const DWORD flags = target == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int bytes =
      WideCharToMultiByte(target, flags, text.data(), wide, nullptr, 0, nullptr, lackingOut);
  if (bytes <= 0 || lacking) return std::nullopt;
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(target, flags, text.data(), wide, out.data(), bytes, nullptr, nullptr);
  return out;
}

}  // namespace tkp30

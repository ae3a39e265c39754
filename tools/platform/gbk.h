// The library's messages are GBK; the terminal may speak anything.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tkp30 {

// GBK text in the encoding of the current locale (the caller has run
// setlocale(LC_ALL, "")), or nothing when the locale cannot show all of
// it: a partial text full of '?' helps no one.
std::optional<std::string> gbkToLocale(std::string_view gbk);

// NORV_DAL_GetErrMsg's message for a result in the locale's encoding, or
// nothing when the locale cannot show it.
std::optional<std::string> libraryMessage(std::int32_t code);

}  // namespace tkp30

// The library's messages are GBK; the terminal may speak anything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tkp30 {

// Converts GBK text to the encoding of the current locale (the caller has
// run setlocale(LC_ALL, "")). Characters the locale cannot show become '?'.
std::string gbkToLocale(std::string_view gbk);

// NORV_DAL_GetErrMsg's message for a result, in the locale's encoding.
std::string libraryMessage(std::int32_t code);

}  // namespace tkp30

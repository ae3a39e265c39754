// The little JSON the tool prints for scripts (--json): strings quoted
// and escaped, the rest written by hand.
#pragma once

#include <string>
#include <string_view>

namespace tkp30 {

std::string jsonString(std::string_view text);
inline const char* jsonBool(bool value) { return value ? "true" : "false"; }

}  // namespace tkp30

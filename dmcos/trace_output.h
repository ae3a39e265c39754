// Where trace text goes, per platform: "-" is standard error, anything
// else a file appended to with one write per line.
#pragma once

#include <string_view>

namespace dmcos {

void writeTrace(const char* target, std::string_view text);

}  // namespace dmcos

// What a library result means, for people: the library's own message (in
// the terminal's encoding, when it can show it) beside an English meaning
// from the tool's table of every code and the tries-left results.
#pragma once

#include <cstdint>
#include <string>

namespace tkp30 {

// The English meaning of a result.
std::string englishMeaning(std::int32_t code);

// "<library message> - <English meaning>", or the English meaning alone
// when the terminal cannot show the library's message.
std::string describeResult(std::int32_t code);

}  // namespace tkp30

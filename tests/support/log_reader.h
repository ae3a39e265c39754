// Reads the library's diagnostic log of this test process.
#pragma once

#include <string>
#include <vector>

namespace testlog {

void clear();                                // empties this process's log
std::vector<std::string> lines();            // every line, without "\n"
std::vector<std::string> texts();            // each line's part after " # "

}  // namespace testlog

// What the diagnostic log needs from the platform: appending a line to a
// file, and a process id to name the per-process logs of test builds.
#pragma once

#include <string_view>

namespace dal {

// Appends `line` (ending in "\n") to the file at `logPath` with one write,
// creating the file but never its directory. Failures are silent.
void DalAppendLine(const char* logPath, std::string_view line);

int DalProcessId();

}  // namespace dal

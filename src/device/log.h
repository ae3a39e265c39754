// The diagnostic log: one fixed file, one line per call, never read back.
#pragma once

#include <cstdint>

namespace dal {

// The log file of this build (a compile-time constant; test builds use a
// file of their own per process).
const char* DalLogPath();

// Appends "File <source>; Line <line> # <text>\n".
void DalLog(const char* logPath, const char* sourcePath, int line, const char* text);

// Appends "File <source>; Line <line> # <text><value>:0x<VALUE>\n", the
// value in signed decimal and in upper-case hexadecimal of its 32 bits.
void DalLogValue(const char* logPath, const char* sourcePath, int line, const char* text,
                 std::int32_t value);

}  // namespace dal

#define DAL_LOG(text) ::dal::DalLog(::dal::DalLogPath(), __FILE__, __LINE__, (text))
#define DAL_LOG_VALUE(text, value) \
  ::dal::DalLogValue(::dal::DalLogPath(), __FILE__, __LINE__, (text), (value))

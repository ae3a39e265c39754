// What the tests need from the operating system, one file per platform.
#pragma once

#include <string>

namespace testos {

// Creates a fresh directory named `prefix` plus a unique suffix and
// returns its path; throws std::runtime_error when it cannot.
std::string makeTempDir(const std::string& prefix);

// A directory in memory for many short-lived token images, or "" when the
// machine offers none.
std::string memoryTempRoot();

// Converts UTF-8 text to GBK (code page 936); false when it cannot.
bool utf8ToGbk(const std::string& utf8, std::string& gbk);

void setEnv(const char* name, const char* value);
void unsetEnv(const char* name);

}  // namespace testos

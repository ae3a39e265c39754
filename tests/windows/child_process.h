// Windows test programs that run a second copy of themselves in a role.
#pragma once

#include <string>

namespace wintest {

// Starts this program again as `<program> <role> <argument>` and returns
// its process handle (null on failure); the caller closes it.
void* startChild(const std::string& role, const std::string& argument);

// Waits for the child and closes its handle; its exit code, or -1.
int finishChild(void* process);

// A named manual-reset event, created unsignalled (or opened); the caller
// closes it.
void* namedEvent(const std::string& name);

}  // namespace wintest

// How a command fails. main() turns each kind into its exit code: a
// library result or an operation that did not do what it should is 1, an
// argument the command cannot use is 2.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace tkp30 {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// A library call returned something other than success. `detail` adds
// what the tool found out about the cause (lines that start with "\n").
class LibraryError : public std::runtime_error {
 public:
  LibraryError(const std::string& call, std::int32_t code, std::string detail = "")
      : std::runtime_error(call), code_(code), detail_(std::move(detail)) {}
  std::int32_t code() const { return code_; }
  const std::string& detail() const { return detail_; }

 private:
  std::int32_t code_;
  std::string detail_;
};

// Anything else that went wrong: a file, a check, a refused confirmation.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An argument that parsed but cannot be used (a key of the wrong length…).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws LibraryError unless the result is success.
inline void check(std::int32_t result, const char* call) {
  if (result != 0) throw LibraryError(call, result);
}

}  // namespace tkp30

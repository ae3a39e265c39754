// The library's log directory c:\dal for one test: made empty on entry,
// removed with its file on exit.
#pragma once

#include <string>

namespace wintest {

inline constexpr char kLogDirectory[] = "c:\\dal";
inline constexpr char kLogFile[] = "c:\\dal\\dal_tkp30.txt";

// Removes the log file and its directory.
void removeLogDirectory();

class LogDirectory {
 public:
  LogDirectory();
  ~LogDirectory() { removeLogDirectory(); }
  LogDirectory(const LogDirectory&) = delete;
  LogDirectory& operator=(const LogDirectory&) = delete;

  // The log file's bytes as they are on disk.
  std::string read() const;
};

}  // namespace wintest

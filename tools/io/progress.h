// A progress bar on standard error, for long inputs on a terminal only:
// scripts and pipes see nothing of it.
#pragma once

#include <cstdint>
#include <optional>

namespace tkp30 {

class Progress {
 public:
  // Shown when the total is known, at least `threshold` bytes, and
  // standard error is a terminal.
  Progress(std::optional<std::uint64_t> total, std::uint64_t threshold);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void advance(std::uint64_t bytes);
  // Ends the bar's line, so that what is printed next starts on its own;
  // the destructor does it too, before an error message.
  void finish();
  bool shown() const { return total_ > 0; }

 private:
  void draw(int percent) const;
  std::uint64_t total_ = 0;  // 0: not shown
  std::uint64_t done_ = 0;
  int lastPercent_ = -1;
};

}  // namespace tkp30

#include "io/progress.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/console.h"

namespace tkp30 {
namespace {
constexpr int kBarWidth = 40;
constexpr double kMebibyte = 1024.0 * 1024.0;
}  // namespace

Progress::Progress(std::optional<std::uint64_t> total, std::uint64_t threshold) {
  if (total && *total >= threshold && *total > 0 && stderrIsTerminal()) total_ = *total;
}

Progress::~Progress() { finish(); }

void Progress::finish() {
  if (!shown()) return;
  (void)std::fputs("\n", stderr);
  (void)std::fflush(stderr);
  total_ = 0;
}

void Progress::advance(std::uint64_t bytes) {
  if (!shown()) return;
  done_ = std::min(total_, done_ + bytes);
  const int percent = static_cast<int>(done_ * 100 / total_);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  draw(percent);
}

void Progress::draw(int percent) const {
  const int filled = percent * kBarWidth / 100;
  const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                          std::string(static_cast<std::size_t>(kBarWidth - filled), ' ');
  (void)std::fprintf(stderr, "\r[%s] %3d%%  %.1f / %.1f MiB", bar.c_str(), percent,
                     static_cast<double>(done_) / kMebibyte,
                     static_cast<double>(total_) / kMebibyte);
  (void)std::fflush(stderr);
}

}  // namespace tkp30

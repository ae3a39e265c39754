#include "device/lock_holder_posix.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

namespace dal::lockholder {
namespace {

// A stat line is a few hundred bytes; a status file about 1.5 KiB.
constexpr std::size_t kStatSize = 1024;
constexpr std::size_t kStatusSize = 8192;

// Fields of /proc/<pid>/stat counted after the command name, which ends
// with the line's last ')' and may itself hold spaces and parentheses:
// field 3 (the state) is the first of them.
constexpr int kFirstAfterName = 3;
constexpr int kThreadsField = 20;
constexpr int kStartField = 22;

std::atomic<pid_t> g_pid{0};

void forgetPid() { g_pid.store(0, std::memory_order_relaxed); }

// The whole of a small /proc file, NUL-terminated; empty when unreadable.
std::string_view readSmall(const char* path, std::span<char> buffer) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::size_t used = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data() + used, buffer.size() - 1 - used);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    used += static_cast<std::size_t>(n);
    if (used == buffer.size() - 1) break;
  }
  ::close(fd);
  buffer[used] = '\0';
  return {buffer.data(), used};
}

struct ProcStat {
  char state = '?';
  long threads = 0;
  std::uint64_t start = 0;
};

std::optional<ProcStat> parseStat(std::string_view line) {
  const std::size_t nameEnd = line.rfind(')');
  if (nameEnd == std::string_view::npos || nameEnd + 2 >= line.size()) return std::nullopt;
  ProcStat stat;
  stat.state = line[nameEnd + 2];
  const char* field = line.data() + nameEnd + 2;
  for (int number = kFirstAfterName; number < kStartField; ++number) {
    field = std::strchr(field, ' ');
    if (field == nullptr) return std::nullopt;
    ++field;
    if (number + 1 == kThreadsField) stat.threads = std::strtol(field, nullptr, 10);
  }
  char* end = nullptr;
  stat.start = std::strtoull(field, &end, 10);
  if (end == field) return std::nullopt;
  return stat;
}

std::optional<ProcStat> statOf(const char* process) {
  std::array<char, 32> path{};
  std::snprintf(path.data(), path.size(), "/proc/%s/stat", process);
  std::array<char, kStatSize> buffer{};
  const std::string_view line = readSmall(path.data(), buffer);
  if (line.empty()) return std::nullopt;
  return parseStat(line);
}

// The inode number of a namespace link of this process; 0 when it cannot
// be read or does not fit 32 bits. A kernel numbers its namespaces in one
// 32-bit sequence on one device, so the inode alone names one.
std::uint64_t namespaceInode(const char* link) {
  struct stat st {};
  if (::stat(link, &st) != 0) return 0;
  return st.st_ino <= std::numeric_limits<std::uint32_t>::max() ? st.st_ino : 0;
}

// Kernels before 5.6 have no time namespaces: every process shares the
// one clock, which the number 0 stands for.
std::uint64_t namespacesOfSelf() {
  const std::uint64_t pid = namespaceInode("/proc/self/ns/pid");
  if (pid == 0) return 0;
  const std::uint64_t time = namespaceInode("/proc/self/ns/time");
  constexpr int kTimeShift = 32;
  return pid | (time << kTimeShift);
}

// "NSpid:" lists this process's ids from the namespace of the /proc
// mount down to its own: a single id, this process's, means /proc is of
// its own namespace.
bool procShowsOwnNamespace(pid_t pid) {
  std::array<char, kStatusSize> buffer{};
  const std::string_view status = readSmall("/proc/self/status", buffer);
  const std::size_t at = status.find("\nNSpid:");
  if (at == std::string_view::npos) return false;
  const char* ids = status.data() + at + std::strlen("\nNSpid:");
  char* end = nullptr;
  const long first = std::strtol(ids, &end, 10);
  if (end == ids || first != pid) return false;
  while (*end == ' ' || *end == '\t') ++end;
  return *end == '\n' || *end == '\0';
}

}  // namespace

// A forked child starts with the cache cleared by the handler. A child
// made by a raw clone system call, which runs no fork handler, would keep
// its parent's id; the library itself never makes one.
pid_t currentPid() {
  const pid_t known = g_pid.load(std::memory_order_relaxed);
  if (known != 0) return known;
  static const bool watched = ::pthread_atfork(nullptr, nullptr, forgetPid) == 0;
  const pid_t pid = ::getpid();
  if (watched) g_pid.store(pid, std::memory_order_relaxed);
  return pid;
}

Self describeSelf() {
  Self self;
  self.pid = currentPid();
  const std::optional<ProcStat> stat = statOf("self");
  if (!stat) return self;  // unknown: recorded as a holder nobody may judge
  self.start = stat->start;
  self.namespaces = namespacesOfSelf();
  self.judges = self.namespaces != 0 && procShowsOwnNamespace(self.pid);
  return self;
}

bool gone(pid_t pid, std::uint32_t start) {
  if (pid <= 0) return false;  // kill() would reach a group, not a process
  if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
  std::array<char, std::numeric_limits<pid_t>::digits10 + 2> name{};
  std::snprintf(name.data(), name.size(), "%d", static_cast<int>(pid));
  const std::optional<ProcStat> stat = statOf(name.data());
  if (!stat) return false;
  // A leader that ended while its threads run is also 'Z', with threads
  // still counted: that process is alive.
  if ((stat->state == 'Z' || stat->state == 'X') && stat->threads <= 1) return true;
  return static_cast<std::uint32_t>(stat->start) != start;
}

}  // namespace dal::lockholder

#include "pcsc/vcard_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <vector>

#include "dmcos/pcsc_handles.h"

extern char** environ;

namespace pcsctest {
namespace {

std::vector<std::string> arguments(const VirtualReader& reader, const std::string& imagePath) {
  std::vector<std::string> args = {TKP30_VCARD_PATH, "--port", std::to_string(reader.port)};
  if (imagePath.empty()) {
    args.emplace_back("--trivial");
  } else {
    args.emplace_back("--image");
    args.push_back(imagePath);
  }
  return args;
}

bool exitedCleanly(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool holdsCard(const SCARD_READERSTATE& state) {
  return (state.dwEventState & SCARD_STATE_PRESENT) != 0 &&
         (state.dwEventState & SCARD_STATE_MUTE) == 0;
}

// Blocks until the reader's state differs from what `state` last saw.
bool awaitChange(const dmcos::pcsc::Context& context, SCARD_READERSTATE& state, DWORD waitMs) {
  state.dwCurrentState = state.dwEventState & ~static_cast<DWORD>(SCARD_STATE_CHANGED);
  const LONG rv = SCardGetStatusChange(context.get(), waitMs, &state, 1);
  return rv == SCARD_S_SUCCESS || rv == SCARD_E_TIMEOUT;
}

}  // namespace

VcardProcess::VcardProcess(const VirtualReader& reader, const std::string& imagePath)
    : reader_(reader) {
  std::vector<std::string> args = arguments(reader, imagePath);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
}

bool VcardProcess::stop() {
  if (pid_ <= 0) return false;
  ::kill(pid_, SIGTERM);
  const bool clean = exitedCleanly(pid_);
  pid_ = -1;
  return waitForCard(reader_, false) && clean;
}

bool waitForCard(const VirtualReader& reader, bool present) {
  const dmcos::pcsc::Context context;
  if (!context.valid()) return false;
  SCARD_READERSTATE state{};
  state.szReader = reader.name;
  state.dwCurrentState = SCARD_STATE_UNAWARE;
  if (SCardGetStatusChange(context.get(), 0, &state, 1) != SCARD_S_SUCCESS) return false;
  const auto deadline = std::chrono::steady_clock::now() + kCardChangeTimeout;
  while (holdsCard(state) != present) {
    if (std::chrono::steady_clock::now() >= deadline || !awaitChange(context, state, 500))
      return false;
  }
  return true;
}

}  // namespace pcsctest

// The console on Windows: CONIN$ and CONOUT$ are the console itself, as
// /dev/tty is on Linux.
#include <windows.h>

#include <cstdint>
#include <cstdlib>

#include "common/secret_bytes.h"
#include "platform/console.h"
#include "platform/interrupt.h"

namespace tkp30 {
namespace {

bool isConsole(DWORD stream) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(stream), &mode) != 0;
}

class ConsoleHandle {
 public:
  explicit ConsoleHandle(const char* name)
      : h_(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~ConsoleHandle() {
    if (ok()) CloseHandle(h_);
  }
  ConsoleHandle(const ConsoleHandle&) = delete;
  ConsoleHandle& operator=(const ConsoleHandle&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

void say(HANDLE out, const std::string& text) {
  DWORD written = 0;
  WriteConsoleA(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

common::SecretBytes readLine(HANDLE in) {
  common::SecretBytes line;
  char c = 0;
  DWORD n = 0;
  while (ReadConsoleA(in, &c, 1, &n, nullptr) && n == 1 && c != '\n')
    if (c != '\r') line.push_back(static_cast<std::uint8_t>(c));
  SecureZeroMemory(&c, sizeof c);
  return line;
}

}  // namespace

bool stdinIsTerminal() { return isConsole(STD_INPUT_HANDLE); }
bool stderrIsTerminal() { return isConsole(STD_ERROR_HANDLE); }

// Ctrl-C ends the wait for the answer, but the tool ends only after the
// echo is back: a console keeps its mode after the process is gone.
std::optional<common::SecretBytes> askHidden(const std::string& prompt) {
  const ConsoleHandle in("CONIN$");
  const ConsoleHandle out("CONOUT$");
  DWORD saved = 0;
  if (!in.ok() || !out.ok() || !GetConsoleMode(in.get(), &saved)) return std::nullopt;
  const InterruptGuard echoComesBackFirst;
  say(out.get(), prompt);
  SetConsoleMode(in.get(), saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  common::SecretBytes answer = readLine(in.get());
  SetConsoleMode(in.get(), saved);
  say(out.get(), "\r\n");
  throwIfInterrupted();
  return answer;
}

void setEnvironment(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }

}  // namespace tkp30

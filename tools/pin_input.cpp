#include "pin_input.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "file_io.h"
#include "interrupt.h"
#include "secret_sources.h"
#include "tool_error.h"

namespace tkp30 {
namespace {

// The longest PIN the token's commands carry.
constexpr std::size_t kMaxPinLength = 15;

SecretBytes fromEnvironment(const PinSource& source, const std::string& which) {
  auto pin = secretFromEnvironment(source.envVariable);
  if (!pin)
    throw UsageError("environment variable " + source.envVariable + " (the " + which +
                     ") is not set");
  return std::move(*pin);
}

// Echo off on a terminal for one scope, and back on however it ends.
class EchoOff {
 public:
  explicit EchoOff(int fd) : fd_(fd), hidden_(tcgetattr(fd, &saved_) == 0) {
    if (!hidden_) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(fd_, TCSAFLUSH, &quiet);
  }
  ~EchoOff() {
    if (hidden_) tcsetattr(fd_, TCSAFLUSH, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  int fd_;
  termios saved_{};
  bool hidden_;
};

// The terminal itself, so that redirected standard input stays data.
class Terminal {
 public:
  Terminal() : fd_(::open("/dev/tty", O_RDWR | O_NOCTTY)) {}
  ~Terminal() {
    if (fd_ >= 0) ::close(fd_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;
  bool ok() const { return fd_ >= 0; }

  // Ctrl-C ends the wait for the answer, but the tool ends only after
  // the echo is back.
  SecretBytes ask(const std::string& prompt) {
    const InterruptGuard echoComesBackFirst;
    say(prompt);
    SecretBytes answer;
    {
      const EchoOff hidden(fd_);
      answer = readLine();
    }
    say("\n");
    return answer;
  }

 private:
  void say(const std::string& text) {
    if (::write(fd_, text.data(), text.size()) < 0) return;
  }
  SecretBytes readLine() {
    SecretBytes line;
    char c = 0;
    for (;;) {
      waitReadable(fd_);
      const ssize_t n = ::read(fd_, &c, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n != 1 || c == '\n') break;
      line.push_back(static_cast<std::uint8_t>(c));
    }
    OPENSSL_cleanse(&c, sizeof c);
    return line;
  }
  int fd_;
};

SecretBytes fromPrompt(const PinSource& source, const std::string& which, bool confirm) {
  Terminal terminal;
  if (!terminal.ok())
    throw UsageError("no terminal to ask for the " + which + ": use --" + source.name +
                     "-env or --" + source.name + "-file");
  SecretBytes pin = terminal.ask("Enter " + which + ": ");
  if (confirm && !(terminal.ask("Repeat " + which + ": ") == pin))
    throw UsageError("the two entries of the " + which + " differ");
  return pin;
}

SecretBytes fromSource(const PinSource& source, const std::string& which, bool confirm) {
  if (!source.envVariable.empty()) return fromEnvironment(source, which);
  if (!source.file.empty()) return readSecretLine(source.file);
  return fromPrompt(source, which, confirm);
}

}  // namespace

void addPinOptions(CLI::App& command, PinSource& source) {
  auto* env = command.add_option("--" + source.name + "-env", source.envVariable,
                                 "Read " + source.description + " from this environment variable");
  auto* file = command.add_option("--" + source.name + "-file", source.file,
                                  "Read " + source.description + " from this file (first line)");
  env->excludes(file);
}

SecretBytes readPin(const PinSource& source, const std::string& which, bool confirm) {
  SecretBytes pin = fromSource(source, which, confirm);
  if (pin.empty()) throw UsageError("the " + which + " is empty");
  if (pin.size() > kMaxPinLength)
    throw UsageError("the " + which + " is longer than " + std::to_string(kMaxPinLength) +
                     " bytes");
  return pin;
}

std::optional<SecretBytes> askOnTerminal(const std::string& which) {
  Terminal terminal;
  if (!terminal.ok()) return std::nullopt;
  return terminal.ask("Enter " + which + ": ");
}

}  // namespace tkp30

#include "pin_input.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <cstring>

#include "file_io.h"
#include "tool_error.h"

namespace tkp30 {
namespace {

// The longest PIN the token's commands carry.
constexpr std::size_t kMaxPinLength = 15;

SecretBytes firstLine(const SecretBytes& text) {
  SecretBytes line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::uint8_t c = text.data()[i];
    if (c == '\n' || c == '\r') break;
    line.push_back(c);
  }
  return line;
}

SecretBytes fromEnvironment(const PinSource& source) {
  const char* value = std::getenv(source.envVariable.c_str());
  if (value == nullptr)
    throw UsageError("environment variable " + source.envVariable + " (" + source.description +
                     ") is not set");
  SecretBytes pin;
  for (const char* p = value; *p != '\0'; ++p) pin.push_back(static_cast<std::uint8_t>(*p));
  return pin;
}

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

  SecretBytes ask(const std::string& prompt) {
    say(prompt);
    termios saved{};
    const bool canHide = tcgetattr(fd_, &saved) == 0;
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (canHide) tcsetattr(fd_, TCSAFLUSH, &quiet);
    SecretBytes answer = readLine();
    if (canHide) tcsetattr(fd_, TCSAFLUSH, &saved);
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
    while (::read(fd_, &c, 1) == 1 && c != '\n') line.push_back(static_cast<std::uint8_t>(c));
    OPENSSL_cleanse(&c, sizeof c);
    return line;
  }
  int fd_;
};

SecretBytes fromPrompt(const PinSource& source, bool confirm) {
  Terminal terminal;
  if (!terminal.ok())
    throw UsageError("no terminal to ask for " + source.description + ": use --" + source.name +
                     "-env or --" + source.name + "-file");
  SecretBytes pin = terminal.ask("Enter " + source.description + ": ");
  if (confirm && !(terminal.ask("Repeat " + source.description + ": ") == pin))
    throw UsageError("the two entries of " + source.description + " differ");
  return pin;
}

SecretBytes fromSource(const PinSource& source, bool confirm) {
  if (!source.envVariable.empty()) return fromEnvironment(source);
  if (!source.file.empty()) return firstLine(readSecretFile(source.file));
  return fromPrompt(source, confirm);
}

}  // namespace

void addPinOptions(CLI::App& command, PinSource& source) {
  auto* env = command.add_option("--" + source.name + "-env", source.envVariable,
                                 "Read " + source.description + " from this environment variable");
  auto* file = command.add_option("--" + source.name + "-file", source.file,
                                  "Read " + source.description + " from this file (first line)");
  env->excludes(file);
}

SecretBytes readPin(const PinSource& source, bool confirm) {
  SecretBytes pin = fromSource(source, confirm);
  if (pin.empty()) throw UsageError(source.description + " is empty");
  if (pin.size() > kMaxPinLength)
    throw UsageError(source.description + " is longer than " + std::to_string(kMaxPinLength) +
                     " bytes");
  return pin;
}

}  // namespace tkp30

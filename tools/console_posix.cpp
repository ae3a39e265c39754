#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "console.h"

namespace tkp30 {
namespace {

// The controlling terminal, so that redirected standard input stays data.
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

}  // namespace

bool stdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }
bool stderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

std::optional<SecretBytes> askHidden(const std::string& prompt) {
  Terminal terminal;
  if (!terminal.ok()) return std::nullopt;
  return terminal.ask(prompt);
}

void setEnvironment(const char* name, const std::string& value) {
  ::setenv(name, value.c_str(), 1);
}

}  // namespace tkp30

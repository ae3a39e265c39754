#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "common/secret_bytes.h"
#include "platform/console.h"
#include "platform/interrupt.h"

namespace tkp30 {
namespace {

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
  common::SecretBytes ask(const std::string& prompt) {
    const InterruptGuard echoComesBackFirst;
    say(prompt);
    common::SecretBytes answer;
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
  common::SecretBytes readLine() {
    common::SecretBytes line;
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

}  // namespace

bool stdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }
bool stderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

std::optional<common::SecretBytes> askHidden(const std::string& prompt) {
  Terminal terminal;
  if (!terminal.ok()) return std::nullopt;
  return terminal.ask(prompt);
}

void setEnvironment(const char* name, const std::string& value) {
  ::setenv(name, value.c_str(), 1);
}

}  // namespace tkp30

#!/usr/bin/env python3
"""The tool on a pseudo-terminal, as a person at a keyboard meets it.

  on_terminal.py prompt-interrupt <tkp30> <image>
      `login` asks for the user PIN with echo off; Ctrl-C there ends the
      tool by SIGINT with the echo back on.
  on_terminal.py progress-line <expected line> <tkp30> <arguments...>
      The progress bar shows, and <expected line> is printed on a line of
      its own after it.
Exits 0 when the terminal behaved, 1 with a reason otherwise.
"""
import os
import pty
import select
import signal
import sys
import termios
import time

TIMEOUT = 30.0


def spawn(argv):
    pid, master = pty.fork()
    if pid == 0:
        os.execv(argv[0], argv)
    return pid, master


def read_until(master, wanted):
    seen = b""
    deadline = time.monotonic() + TIMEOUT
    while wanted not in seen:
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([master], [], [], left)[0]:
            sys.exit(f"no {wanted!r} on the terminal; it showed {seen!r}")
        seen += os.read(master, 1024)
    return seen


def read_all(master):
    seen = b""
    while True:
        try:
            chunk = os.read(master, 4096)
        except OSError:  # EIO: the other side has closed
            return seen
        if not chunk:
            return seen
        seen += chunk


def echo_on(fd):
    return bool(termios.tcgetattr(fd)[3] & termios.ECHO)


def prompt_interrupt(tkp30, image):
    pid, master = spawn([tkp30, "--emulator", image, "login"])
    read_until(master, b"Enter user PIN: ")
    # Held open here, so that its settings can be read after the tool ends.
    slave = os.open(os.readlink(f"/proc/{pid}/fd/0"), os.O_RDWR | os.O_NOCTTY)
    deadline = time.monotonic() + TIMEOUT
    while echo_on(slave):
        if time.monotonic() > deadline:
            sys.exit("the echo stayed on at the PIN prompt")
        time.sleep(0.01)
    os.write(master, b"\x03")
    _, status = os.waitpid(pid, 0)
    if not (os.WIFSIGNALED(status) and os.WTERMSIG(status) == signal.SIGINT):
        sys.exit(f"Ctrl-C at the prompt did not end the tool by SIGINT (status {status})")
    if not echo_on(slave):
        sys.exit("Ctrl-C at the PIN prompt left the terminal without echo")


def progress_line(expected, argv):
    pid, master = spawn(argv)
    text = read_all(master).decode(errors="replace")
    os.waitpid(pid, 0)
    if "100%" not in text:
        sys.exit(f"no progress bar: {text!r}")
    lines = [line.rstrip("\r") for line in text.split("\n")]
    if expected not in lines:
        sys.exit(f"{expected!r} is not on a line of its own: {text[-200:]!r}")


if __name__ == "__main__":
    if sys.argv[1] == "prompt-interrupt":
        prompt_interrupt(sys.argv[2], sys.argv[3])
    elif sys.argv[1] == "progress-line":
        progress_line(sys.argv[2], sys.argv[3:])
    else:
        sys.exit(__doc__)

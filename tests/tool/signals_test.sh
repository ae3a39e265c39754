#!/usr/bin/env bash
# Signals and terminals: Ctrl-C or SIGTERM during encrypt, decrypt and mac
# leaves no temporary output, gives the token lock back and ends the tool
# by that signal (130, 143); Ctrl-C at a PIN prompt restores the echo; the
# progress bar ends its line before the result is printed.
#   signals_test.sh <tkp30> <openssl> <work dir>
TKP30=$1
OPENSSL=$2
WORK=$3
TERMINAL=$(cd "$(dirname "$0")" && pwd)/on_terminal.py
. "$(dirname "$0")/common.sh"
set -m  # a background job takes SIGINT as a foreground command would

KEY=00112233445566778899aabbccddeeff
IV=0f0e0d0c0b0a09080706050403020100

# interrupted <signal> <exit status> <description> <tkp30 arguments...>:
# the command reads in.fifo, which gets part of its input and stays open,
# so the command is in the middle of its stream when the signal comes.
interrupted() {
  local signal=$1 want=$2 what=$3
  shift 3
  rm -f in.fifo
  mkfifo in.fifo
  "$TKP30" --emulator "$IMAGE" "$@" >"$OUT" 2>"$ERR" &
  local pid=$!
  exec 7>in.fifo
  head -c 100000 /dev/urandom >&7
  kill "-$signal" "$pid"
  local got
  { wait "$pid"; got=$?; } 2>/dev/null
  exec 7>&-
  [ "$got" -eq "$want" ] || fail "$what: exit $got, wanted $want"
  if ls out.bin* >/dev/null 2>&1; then fail "$what: left $(ls out.bin*)"; fi
  stderr_lacks "$what" "cannot"
}

lock_given_back() {
  expect 0 "$1: the next SSF33 command" -- timeout 20 "$TKP30" --emulator "$IMAGE" \
    encrypt --cipher ssf33 --key-hex $KEY --iv $IV -i /dev/null -o empty.enc
}

signals_during_streams() {
  interrupted TERM 143 "SIGTERM during SSF33 encrypt" \
    encrypt --cipher ssf33 --key-hex $KEY --iv $IV -i in.fifo -o out.bin
  lock_given_back "after SIGTERM"
  interrupted INT 130 "Ctrl-C during DES decrypt" \
    decrypt --cipher des --key-hex 133457799bbcdff1 --iv 0001020304050607 -i in.fifo -o out.bin
  interrupted INT 130 "Ctrl-C during SSF33 mac" mac --cipher ssf33 --key-hex $KEY -i in.fifo
  lock_given_back "after Ctrl-C"
}

terminal() {
  expect 0 "Ctrl-C at the PIN prompt" -- python3 "$TERMINAL" prompt-interrupt "$TKP30" "$IMAGE"
  head -c $((2 * 1024 * 1024)) /dev/zero >zeros.bin
  local mac
  mac=$(openssl_enc -des-cbc -K 133457799bbcdff1 -iv 0000000000000000 -in zeros.bin | tail -c 8 | od -An -tx1 | tr -d ' \n')
  export MAC_KEY=133457799bbcdff1
  expect 0 "progress bar, then the MAC" -- python3 "$TERMINAL" progress-line "$mac" \
    "$TKP30" mac --cipher des --key-env MAC_KEY -i zeros.bin
}

format_token
signals_during_streams
terminal
finish

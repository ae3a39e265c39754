#!/usr/bin/env bash
# Several tool processes at once on one token: writes and reads of
# different user data files, and SSF33 streams with different keys (the
# token holds one cipher state). Each tool takes the named lock around a
# whole operation, so every result is right; without it, a selection or
# a key load of one process lands in the middle of another's operation.
#   sharing_test.sh <tkp30> <openssl> <work dir>
TKP30=$1
OPENSSL=$2
WORK=$3
. "$(dirname "$0")/common.sh"

readonly WORKERS=4 ROUNDS=12 FILE_TYPE=3 FIRST_INDEX=20
readonly IV=0f0e0d0c0b0a09080706050403020100

key_of() { printf '%032x' "$((0x1111 * ($1 + 1)))"; }

# files_worker <n>: writes its own file and reads it back, ROUNDS times.
files_worker() {
  local n=$1 round index=$((FIRST_INDEX + $1))
  for round in $(seq 1 "$ROUNDS"); do
    printf '%064d' "$((n * 1000 + round))" >"w$n.bin"
    "$TKP30" --emulator "$IMAGE" file write --type $FILE_TYPE --index "$index" -i "w$n.bin" \
      >/dev/null 2>>"worker$n.err" || return 1
    "$TKP30" --emulator "$IMAGE" file read --type $FILE_TYPE --index "$index" --length 64 \
      -o "r$n.bin" 2>>"worker$n.err" || return 1
    cmp -s "w$n.bin" "r$n.bin" || { echo "file $index round $round read back wrong" >>"worker$n.err"; return 1; }
  done
}

# ssf33_worker <n>: encrypts and decrypts with its own key, ROUNDS / 3
# times, each ciphertext equal to the one made alone beforehand.
ssf33_worker() {
  local n=$1 round key
  key=$(key_of "$n")
  for round in $(seq 1 $((ROUNDS / 3))); do
    "$TKP30" --emulator "$IMAGE" encrypt --cipher ssf33 --key-hex "$key" --iv $IV -i plain.bin \
      -o "c$n.bin" 2>>"ssf$n.err" || return 1
    cmp -s "c$n.bin" "alone$n.bin" || { echo "round $round: wrong ciphertext" >>"ssf$n.err"; return 1; }
    "$TKP30" --emulator "$IMAGE" decrypt --cipher ssf33 --key-hex "$key" --iv $IV -i "c$n.bin" \
      -o "p$n.bin" 2>>"ssf$n.err" || return 1
    cmp -s plain.bin "p$n.bin" || { echo "round $round: wrong plaintext" >>"ssf$n.err"; return 1; }
  done
}

prepare() {
  format_token
  local n
  for n in $(seq 0 $((WORKERS - 1))); do
    tk 0 "create file $n" file create --type $FILE_TYPE --index $((FIRST_INDEX + n)) --size 64 \
      --read free --write free
  done
  head -c 65536 /dev/urandom >plain.bin
  for n in 0 1; do
    tk 0 "SSF33 alone with key $n" encrypt --cipher ssf33 --key-hex "$(key_of $n)" --iv $IV \
      -i plain.bin -o "alone$n.bin"
  done
}

all_at_once() {
  local pids=() n pid
  for n in $(seq 0 $((WORKERS - 1))); do
    files_worker "$n" &
    pids+=("$!")
  done
  for n in 0 1; do
    ssf33_worker "$n" &
    pids+=("$!")
  done
  for pid in "${pids[@]}"; do
    wait "$pid" || fail "a parallel worker saw a wrong result: $(cat worker*.err ssf*.err 2>/dev/null | head -c 300)"
  done
}

prepare
all_at_once
finish

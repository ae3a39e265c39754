#!/usr/bin/env bash
# The PC/SC suite: starts its own pcscd (vpcd's two virtual readers) and
# tkp30-vcard cards, runs pcsc_tests, a third-party client, the end-to-end
# suite and the PKCS #11 module's clients (pkcs11-tool, OpenSSH, p11tool,
# and the ones PCSC_CLIENTS names) through "pcsc:Virtual PCD 00 00" and the
# round-trip benchmark, then stops
# everything it started by process id.
#
# Usage: run_pcsc_suite.sh <build dir>
# Needs pcscd, vsmartcard-vpcd and opensc (opensc-tool); refuses to run
# beside a pcscd that is already running. Exits non-zero on any failure.
set -uo pipefail

readonly FIRST_READER="Virtual PCD 00 00"
readonly SECOND_PORT=35964
readonly WAIT_SECONDS=15      # for pcscd's readers and for a card to appear
readonly STOP_SECONDS=5       # for a process to end after SIGTERM
readonly TESTS_SECONDS=600    # per test executable
readonly BENCH_MIN_TIME=0.2   # seconds per benchmark repetition
readonly BENCH_REPETITIONS=5

say() { printf 'pcsc suite: %s\n' "$*"; }
die() { say "$*" >&2; exit 1; }

[[ $# -eq 1 && -d $1 ]] || die "usage: $0 <build dir>"
BUILD=$(cd "$1" && pwd)
VCARD=$BUILD/tools/vcard/tkp30-vcard
PCSC_TESTS=$BUILD/tests/pcsc_tests
E2E_TESTS=$BUILD/tests/e2e_tests
BENCH=$BUILD/tests/pcsc_bench
MODULE=$BUILD/pkcs11/libtkp30-pkcs11.so
CLIENTS_TEST=$(cd "$(dirname "$0")/.." && pwd)/pkcs11/clients_test.sh
CLIENTS_DIR=$(cd "$(dirname "$0")/.." && pwd)/pkcs11/clients
# The client scripts of tests/pkcs11/clients/ that run through pcscd too.
readonly PCSC_CLIENTS=(openssl_engine nss)

for tool in pcscd opensc-tool timeout; do
  command -v "$tool" >/dev/null || die "$tool is not installed"
done
for exe in "$VCARD" "$PCSC_TESTS" "$E2E_TESTS" "$BENCH"; do
  [[ -x $exe ]] || die "missing $exe (build tkp30-vcard pcsc_tests e2e_tests pcsc_bench)"
done
[[ -f $MODULE ]] || die "missing $MODULE (build tkp30_pkcs11)"
[[ -e /usr/lib/pcsc/drivers/serial/libifdvpcd.so ]] || die "vpcd reader driver not installed"
if running=$(pgrep -x pcscd); then
  die "pcscd is already running (pid ${running//$'\n'/ }); stop it first, this suite runs its own"
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tkp30-pcsc.XXXXXX") || die "cannot make a scratch folder"
declare -a STARTED=()

# Stops one process: SIGTERM, then SIGKILL when it lingers. Returns its
# exit status (137 after SIGKILL).
stop_pid() {
  local pid=$1 waited=0
  kill -TERM "$pid" 2>/dev/null
  while kill -0 "$pid" 2>/dev/null && ((waited < STOP_SECONDS * 10)); do
    sleep 0.1
    ((waited++))
  done
  kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}

cleanup() {
  local pid
  for ((i = ${#STARTED[@]} - 1; i >= 0; i--)); do
    pid=${STARTED[i]}
    [[ -n $pid ]] && stop_pid "$pid"
  done
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

forget_pid() {
  local i
  for i in "${!STARTED[@]}"; do [[ ${STARTED[i]} == "$1" ]] && STARTED[i]=""; done
}

# Runs a command with a time limit and no way to outlive it.
bounded() { timeout -k 5 "$TESTS_SECONDS" "$@"; }

wait_until() {
  local deadline=$((SECONDS + WAIT_SECONDS))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}
reader_listed() { timeout 5 opensc-tool --list-readers | grep -qF "$FIRST_READER"; }
card_in() { timeout 5 opensc-tool --reader "$1" --atr; }

# Starts pcscd in the foreground, without auto-exit; its pid lands in PCSCD_PID.
start_pcscd() {
  local options=(-f)
  pcscd --help 2>&1 | grep -q -- --disable-polkit && options+=(--disable-polkit)
  pcscd "${options[@]}" >>"$WORK/pcscd.log" 2>&1 &
  PCSCD_PID=$!
  STARTED+=("$PCSCD_PID")
  wait_until reader_listed || { cat "$WORK/pcscd.log" >&2; die "pcscd shows no $FIRST_READER"; }
  say "pcscd $PCSCD_PID ready"
}

# The card finds its reader again after pcscd went away and came back.
card_survives_pcscd_restart() {
  stop_pid "$PCSCD_PID"
  forget_pid "$PCSCD_PID"
  start_pcscd
  wait_until card_in "$FIRST_READER"
}

# start_card <log name> <vcard arguments...>; the card's pid lands in CARD_PID.
start_card() {
  local name=$1
  shift
  "$VCARD" "$@" >"$WORK/$name.log" 2>&1 &
  CARD_PID=$!
  STARTED+=("$CARD_PID")
}

FAILURES=0
check() {
  local what=$1
  shift
  if "$@"; then say "ok: $what"; else say "FAILED: $what"; ((FAILURES++)); fi
}

# A client no one here wrote sends GET CHALLENGE and SELECT FILE to the
# blank token: random data with 90 00, and 6A 82 (no MF yet).
third_party_client() {
  local out
  out=$(timeout 10 opensc-tool --reader "$FIRST_READER" \
        --send-apdu 00:84:00:00:08 --send-apdu 00:A4:00:00:02:3F:00 2>&1) || return 1
  printf '%s\n' "$out"
  grep -q 'Received (SW1=0x90, SW2=0x00)' <<<"$out" &&
    grep -q 'Received (SW1=0x6A, SW2=0x82)' <<<"$out"
}

no_service() {
  PCSCLITE_CSOCK_NAME=$WORK/no-pcscd.comm bounded "$PCSC_TESTS" \
    --gtest_filter='PcscNoService.*' 2>&1 | tee "$WORK/no-service.log"
  grep -q '\[  PASSED  \] 1 test' "$WORK/no-service.log"
}

benchmark() {
  start_card trivial --trivial --port "$SECOND_PORT"
  wait_until card_in "Virtual PCD 00 01" || return 1
  bounded "$BENCH" --benchmark_min_time="$BENCH_MIN_TIME" \
    --benchmark_repetitions="$BENCH_REPETITIONS" --benchmark_enable_random_interleaving=true \
    --benchmark_color=false | tee "$WORK/bench.log"
  ((PIPESTATUS[0] == 0)) && grep -q 'round trip ratio' "$WORK/bench.log"
}

stops_cleanly() {
  local pid=$1
  stop_pid "$pid"
  local status=$?
  forget_pid "$pid"
  ((status == 0))
}

mkdir -p "$WORK/tmp"
export TKP30_TEST_TMP=$WORK/tmp

check "no pcscd: slots do not open" no_service
start_pcscd
check "pcsc_tests" bounded "$PCSC_TESTS" --gtest_filter='-PcscNoService.*'

start_card token --image "$WORK/token.img"
TOKEN_PID=$CARD_PID
if wait_until card_in "$FIRST_READER"; then
  check "third-party client (opensc-tool)" third_party_client
  check "e2e_tests through pcsc:$FIRST_READER" \
    env TKP30_E2E_SLOTS="pcsc:$FIRST_READER" timeout -k 5 "$TESTS_SECONDS" "$E2E_TESTS"
  check "PKCS #11 clients through pcsc:$FIRST_READER" \
    env TKP30_CLIENT_SLOTS="pcsc:$FIRST_READER" timeout -k 5 "$TESTS_SECONDS" \
    bash "$CLIENTS_TEST" "$MODULE" "$WORK/pkcs11-clients"
  for client in "${PCSC_CLIENTS[@]}"; do
    check "PKCS #11 client $client through pcsc:$FIRST_READER" \
      env TKP30_CLIENT_SLOTS="pcsc:$FIRST_READER" timeout -k 5 "$TESTS_SECONDS" \
      bash "$CLIENTS_DIR/$client.sh" "$MODULE" "$WORK/pkcs11-$client"
  done
  check "round-trip benchmark" benchmark
  check "the virtual card reconnects after a pcscd restart" card_survives_pcscd_restart
else
  say "FAILED: the virtual card did not appear in $FIRST_READER"
  cat "$WORK/token.log" >&2
  ((FAILURES++))
fi
check "tkp30-vcard stops cleanly on SIGTERM" stops_cleanly "$TOKEN_PID"

if ((FAILURES > 0)); then
  say "$FAILURES check(s) failed"
  exit 1
fi
say "all checks passed"

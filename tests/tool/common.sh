# Shared by the tool's test scripts: sourced after setting TKP30, OPENSSL
# and WORK. Starts in a fresh WORK folder with no slot configured, and
# gives expect/tk and the output checks; `finish` ends the script.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../support/expect.sh"
rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK" || exit 1
unset TKP30_SLOTS TKP30_TRACE
export LC_ALL=C.UTF-8

IMAGE=$WORK/token.img
OUT=$WORK/out.txt
ERR=$WORK/err.txt

export SUPER_PIN=11223344 USER_PIN=123456 WRONG_PIN=999999 NEW_PIN=654321

# tk <exit code> <description> <tkp30 arguments...>: on the test token.
tk() {
  local want=$1 what=$2
  shift 2
  expect "$want" "$what" -- "$TKP30" --emulator "$IMAGE" "$@"
}

stdout_has() { grep -q -- "$2" "$OUT" || fail "$1: stdout lacks '$2'"; }
stderr_has() { grep -q -- "$2" "$ERR" || fail "$1: stderr lacks '$2'"; }
stderr_lacks() { ! grep -q -- "$2" "$ERR" || fail "$1: stderr has '$2'"; }
same_files() { cmp -s "$2" "$3" || fail "$1: $2 and $3 differ"; }

openssl_enc() { "$OPENSSL" enc -provider legacy -provider default "$@"; }

format_token() {
  tk 0 "format" format --yes --super-pin-env SUPER_PIN --user-pin-env USER_PIN
}

finish() {
  if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed"
    exit 1
  fi
  echo "all checks of $(basename "$0") passed"
}

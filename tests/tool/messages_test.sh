#!/usr/bin/env bash
# What the tool tells a person: messages in any locale, why a token did
# not open, the slots, a blank token, its version and documentation; and
# the checks that refuse, before anything is sent, what the card could
# not undo.
#   messages_test.sh <tkp30> <openssl> <work dir>
TKP30=$1
OPENSSL=$2
WORK=$3
. "$(dirname "$0")/common.sh"

messages_in_any_locale() {
  expect 0 "errmsg in UTF-8" -- "$TKP30" errmsg -114
  stdout_has "errmsg in UTF-8" "^登录失败 - logging in failed$"
  LC_ALL=C expect 0 "errmsg in C" -- "$TKP30" errmsg -114
  stdout_has "errmsg in C" "^logging in failed$"
  LC_ALL=C expect 0 "tries left in C" -- "$TKP30" errmsg 3
  stdout_has "tries left in C" "^wrong PIN, 3 tries left$"
  LC_ALL=C expect 1 "open failure in C" -- "$TKP30" --emulator "$WORK/no/such/token.img" info
  stderr_has "open failure in C" "open the token: opening the token failed (code -101)"
  stderr_has "open failure reason" "slot 1 (emu:$WORK/no/such/token.img): .*folder does not exist"
  stderr_lacks "open failure in C" "?"
  printf 'not a token image, only bytes' >damaged.img
  chmod 600 damaged.img
  expect 1 "damaged image" -- "$TKP30" --emulator "$WORK/damaged.img" info
  stderr_has "damaged image" "打开设备错 - opening the token failed (code -101)"
  stderr_has "damaged image reason" "slot 1 (emu:$WORK/damaged.img): $WORK/damaged.img: "
}

slots_and_choice() {
  export TKP30_SLOTS=";emu:$IMAGE;usb:0"
  expect 0 "slots" -- "$TKP30" slots
  stdout_has "slots" "^slot 1  - .*does not open: not configured"
  stdout_has "slots" "^slot 2  emu:$IMAGE .* opens$"
  stdout_has "slots" "^slot 3  usb:0 .*\"usb:0\" is not a slot entry"
  expect 0 "slots as JSON" -- "$TKP30" slots --json
  python3 -c 'import json,sys; s=json.load(open(sys.argv[1]))["slots"]; assert len(s) == 6 and s[1]["opens"] and not s[2]["opens"]' "$OUT" ||
    fail "slots --json is not the six slots"
  expect 0 "--slot 2" -- "$TKP30" --slot 2 info
  stdout_has "--slot 2" "token: *slot 2, emu:$IMAGE"
  expect 1 "--slot 3" -- "$TKP30" --slot 3 info
  stderr_has "--slot 3" "slot 3 (usb:0): \"usb:0\" is not a slot entry"
  expect 2 "--slot 4" -- "$TKP30" --slot 4 info
  stderr_has "--slot 4" "slot 4 is not configured"
  unset TKP30_SLOTS
}

blank_token_and_version() {
  tk 0 "info on a blank token" info
  stdout_has "blank info" "formatted: *no"
  stdout_has "blank info" "tkp30 format"
  tk 0 "info --json on a blank token" info --json
  stdout_has "blank info --json" '"formatted": false'
  expect 0 "--version" -- "$TKP30" --version
  stdout_has "--version" "^tkp30 [0-9]*\.[0-9]*\.[0-9]*$"
  stdout_has "--version" "^libnorv_dal_tkp30 [0-9]"
}

plain_argument_errors() {
  tk 2 "numeric cipher" encrypt --cipher 1 --key-hex 0011223344556677 --iv 0001020304050607 -i /dev/null -o x
  stderr_has "numeric cipher" 'unknown cipher "1": choose ssf33 (on the token), des, 3des, rc2 or rc4'
  tk 2 "unknown mode" encrypt --cipher des --mode cfb --key-hex 0011223344556677 -i /dev/null -o x
  stderr_has "unknown mode" 'unknown mode "cfb": choose cbc or ecb'
  tk 2 "slot out of range" pubkey --key 9
  stderr_has "slot out of range" "--key: must be a whole number from 0 to 3"
  stderr_lacks "no parser internals" "->"
  expect 2 "unknown command" -- "$TKP30" file frobnicate
  stderr_has "unknown command" 'unknown command "frobnicate" (tkp30 file --help lists them)'
  expect 2 "a value missing" -- "$TKP30" --emulator
  stderr_has "a value missing" "^tkp30: --emulator: a value is missing$"
  [ ! -e x ] || fail "a refused command created its output file"
  tk 1 "output into a folder" encrypt --cipher des --key-hex 0011223344556677 --iv 0001020304050607 -i /dev/null -o "$WORK"
  stderr_has "output into a folder" "cannot write $WORK: Is a directory"
  tk 1 "output in a missing folder" rand 4 -o "$WORK/none/r.bin"
  stderr_has "output in a missing folder" "No such file or directory"
}

checks_before_acting() {
  tk 1 "file create for the user PIN, logged out" file create --type 1 --index 7 --size 8 --read free --write user
  stderr_has "logged-out create" "refused, nothing sent: the user PIN is not logged in: run \`tkp30 login\` first"
  tk 1 "keygen logged out" keygen
  stderr_has "keygen logged out" "no PIN is logged in"
  tk 1 "pubkey of an empty slot" pubkey --key 2
  stderr_has "empty slot" "key slot 2 is empty"
  tk 0 "login" login --pin-env USER_PIN
  tk 1 "file create for the super PIN" file create --type 1 --index 7 --size 8 --read free --write super
  stderr_has "super create" "login super"
  tk 0 "the refused index is still whole" file create --type 1 --index 7 --size 8 --read free --write user
  tk 0 "hex with colons" file write --type 1 --index 7 --hex 'de:ad:be:ef'
  tk 0 "read it back" file read --type 1 --index 7 --length 4
  stdout_has "hex with colons" "^deadbeef$"
  tk 2 "delete without --yes" file delete --type 1 --index 7 </dev/null
  stderr_has "delete without --yes" "cannot be created again until the token is formatted; confirm with --yes"
  tk 0 "the file is still there" file read --type 1 --index 7 --length 4
  "$OPENSSL" genrsa -out key.pem 1024 2>/dev/null
  tk 0 "keygen 1" keygen
  tk 0 "keygen 2" keygen
  tk 0 "import 3" import -i key.pem
  tk 0 "keygen 4" keygen
  tk 1 "a fifth key pair" keygen
  stderr_has "fifth key pair" "all 4 slots are in use; only formatting the token frees them"
  tk 1 "a fifth import" import -i key.pem
  tk 0 "info lists four pairs" info
  stdout_has "four pairs" "key pairs: *4 of 4"
}

manual_and_completion() {
  local dir
  dir=$(dirname "$TKP30")
  groff -man -Tutf8 -ww -z "$dir/tkp30.1" 2>"$ERR" && [ ! -s "$ERR" ] || fail "the manual page does not render cleanly"
  grep -q '^\.SS "tkp30 file create"' "$dir/tkp30.1" || fail "the manual lacks file create"
  grep -qx '\\fB\\-\\-der\\fR' "$dir/tkp30.1" || fail "the manual gives a flag a value"
  # shellcheck disable=SC1091
  local words
  words=$(bash -c '. "$1"; COMP_WORDS=(tkp30 file cr); COMP_CWORD=2; _tkp30; echo "${COMPREPLY[*]}"
                   COMP_WORDS=(tkp30 encrypt --ci); COMP_CWORD=2; _tkp30; echo "${COMPREPLY[*]}"
                   COMP_WORDS=(tkp30 pubkey --der --ss); COMP_CWORD=3; _tkp30; echo "${COMPREPLY[*]}"' \
          _ "$dir/tkp30.bash")
  [ "$words" = $'create\n--cipher\n--ssh' ] || fail "bash completion gave '$words'"
}

messages_in_any_locale
slots_and_choice
blank_token_and_version
format_token
plain_argument_errors
checks_before_acting
manual_and_completion
finish

#!/usr/bin/env bash
# A creator killed between making an object file and recording it costs
# the token nothing: after many such kills, all 52 object files of the
# module's range still take an object each.
#   capacity_test.sh <module> <kill-after-create shim> <work dir>
set -u
SHIM=$(realpath "$2")
set -- "$1" "$3"
. "$(dirname "${BASH_SOURCE[0]}")/clients/common.sh"

readonly OBJECT_FILES=52
readonly KILLS=12

p11 --init-token --label "$TOKEN_LABEL" --so-pin "$SO_PIN" >/dev/null 2>&1 &&
  p11 --init-pin --login --login-type so --so-pin "$SO_PIN" --pin "$USER_PIN" >/dev/null 2>&1 ||
  { echo "FAIL: setting up the token"; exit 1; }
echo "an object" >object.txt

kills=0
written=()
for ((attempt = 0; attempt < 4 * KILLS && kills < KILLS; attempt++)); do
  LD_PRELOAD="${LD_PRELOAD:+$LD_PRELOAD:}$SHIM" user --write-object object.txt --type data \
    --label "attempt $attempt" >"$OUT" 2>"$ERR"
  case $? in
    137) kills=$((kills + 1)) ;;
    0) written+=("attempt $attempt") ;;  # a file left by a kill took this object
    *) fail "attempt $attempt: neither written nor killed" ;;
  esac
done
((kills == KILLS)) || fail "only $kills of $KILLS creators were killed"

# Whatever the attempts left, every object file takes an object again.
for label in "${written[@]}"; do
  expect 0 "delete '$label'" -- user --delete-object --type data --label "$label"
done
for ((n = 0; n < OBJECT_FILES; n++)); do
  expect 0 "object $n of $OBJECT_FILES" -- user --write-object object.txt --type data --label "o$n"
  ((FAILURES == 0)) || break
done
expect 1 "one object more than there are files" -- user --write-object object.txt --type data \
  --label "one too many"
has "one object more" "$ERR" CKR_DEVICE_MEMORY
finish

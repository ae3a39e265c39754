#!/usr/bin/env bash
# OpenSC's p11test, the standard's test suite for a module, on a token
# with three key pairs, each with its certificate: one generated through
# the module, one imported through it, one made by `tkp30 keygen`. Every
# test that runs passes, the interface test among them.
#   opensc_p11test.sh <module> <work dir>
# P11TEST names the program (scripts/p11test.sh builds it) and TKP30_TOOL
# the tkp30 tool; without the program the test is skipped (exit 77).
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
if [ -z "${P11TEST:-}" ] || [ ! -x "$P11TEST" ]; then
  echo "SKIP: P11TEST names no program (scripts/p11test.sh builds OpenSC's p11test)"
  exit 77
fi
[ -x "${TKP30_TOOL:-}" ] || { echo "FAIL: TKP30_TOOL names no tkp30"; exit 1; }
make_token || { echo "FAIL: setting up the token"; exit 1; }

# A certificate from the test's authority for the key pair with this id.
certify() {
  local id=$1
  p11 --read-object --type pubkey --id "$id" -o "pub-$id.der" >/dev/null 2>&1 &&
    openssl pkey -pubin -inform DER -in "pub-$id.der" -out "pub-$id.pem" &&
    openssl x509 -new -force_pubkey "pub-$id.pem" -subj "/CN=key $id" -CA ca.pem -CAkey ca.key \
      -days 2 -extfile ext.cnf -extensions client -outform DER -out "cert-$id.der" &&
    user --write-object "cert-$id.der" --type cert --id "$id" --label "cert $id" >/dev/null 2>&1
}

openssl genrsa -out imported.pem 1024 2>/dev/null &&
  openssl pkey -in imported.pem -outform DER -out imported.der &&
  user --write-object imported.der --type privkey --id 02 --label "imported key" >/dev/null 2>&1 &&
  certify 02 || fail "importing a key pair"

export USER_PIN
# The tool carries its own sanitizer runtime when it has one.
T=(env -u LD_PRELOAD "$TKP30_TOOL" --slot 1)
"${T[@]}" login --pin-env USER_PIN >/dev/null 2>&1 && "${T[@]}" keygen >/dev/null 2>&1 ||
  fail "tkp30 keygen"
# The module names a key it did not make by the SHA-1 of its modulus.
id=$(p11 -O --type pubkey 2>/dev/null | awk '/^ *ID:/ {print $2}' | grep -v '^0[12]$' | head -1)
[ -n "$id" ] && certify "$id" || fail "a certificate for the key of tkp30 keygen"

expect 0 "p11test" -- timeout "$LIMIT" "$P11TEST" -m "$MODULE" -p "$USER_PIN"
grep -i "interface" "$OUT" >interface.txt || fail "p11test ran no interface test"
grep -qi "skip" interface.txt && fail "p11test skipped its interface test"
if grep -q "FAILED" "$OUT"; then fail "p11test: $(grep FAILED "$OUT" | head -5)"; fi
finish

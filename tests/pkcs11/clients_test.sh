#!/usr/bin/env bash
# The module in the clients people use: pkcs11-tool (OpenSC), OpenSSH
# (ssh-keygen, ssh-agent, ssh-add) and GnuTLS's p11tool, on an emulated
# token, or on the slots TKP30_CLIENT_SLOTS names (the PC/SC suite passes
# its virtual card). The token is initialised afresh.
#   clients_test.sh <module> <work dir>
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../support/expect.sh"

MODULE=$(realpath "$1")
WORK=$2
rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK" || exit 1
export LC_ALL=C.UTF-8
unset TKP30_TRACE
export TKP30_SLOTS=${TKP30_CLIENT_SLOTS:-emu:$WORK/token.img}
# A sanitized module needs its runtime in clients that were built without.
if [ -n "${TKP30_CLIENT_PRELOAD:-}" ]; then
  export LD_PRELOAD=$TKP30_CLIENT_PRELOAD ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0
fi

for tool in pkcs11-tool ssh-keygen ssh-agent ssh-add p11tool openssl; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/deps.sh)"; exit 1; }
done

SO_PIN=11223344
USER_PIN=123456
WRONG_PIN=999999
OUT=$WORK/out.txt
ERR=$WORK/err.txt

has() { grep -q -- "$3" "$2" || fail "$1: lacks '$3'"; }

p11() { pkcs11-tool --module "$MODULE" "$@"; }
user() { p11 --login --pin "$USER_PIN" "$@"; }

pkcs11_tool() {
  expect 0 "init token" -- p11 --init-token --label "client test" --so-pin "$SO_PIN"
  expect 0 "init PIN" -- p11 --init-pin --login --login-type so --so-pin "$SO_PIN" --pin "$USER_PIN"
  expect 0 "key pair" -- user --keypairgen --key-type rsa:1024 --id 01 --label "client key"
  # A certificate for that key from a throwaway authority.
  expect 0 "public key" -- p11 --read-object --type pubkey --id 01 -o pub.der
  openssl pkey -pubin -inform DER -in pub.der -out pub.pem &&
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -subj /CN=ca -days 2 -out ca.pem 2>/dev/null &&
    openssl x509 -new -force_pubkey pub.pem -subj /CN=client -CA ca.pem -CAkey ca.key -days 2 \
      -outform DER -out cert.der || fail "making a certificate with openssl"
  expect 0 "write certificate" -- user --write-object cert.der --type cert --id 01 --label "client cert"
  echo "some data" >data.txt
  expect 0 "write data" -- user --write-object data.txt --type data --label "client data"
  expect 0 "list objects" -- p11 -O
  has "list objects" "$OUT" "client key"
  has "list objects" "$OUT" "client cert"
  has "list objects" "$OUT" "client data"
  expect 0 "self test" -- user --test
  has "self test" "$OUT" "No errors"
  expect 0 "self test in a forked child" -- p11 --test-fork
}

failure_cases() {
  expect 1 "wrong PIN" -- p11 --login --pin "$WRONG_PIN" -O
  has "wrong PIN" "$ERR" CKR_PIN_INCORRECT
  echo "to sign" >message.txt
  # Private keys are the user's: the security officer does not even see them.
  expect 1 "the security officer signs" -- p11 --session-rw --login --login-type so \
    --so-pin "$SO_PIN" --sign --id 01 -m SHA256-RSA-PKCS -i message.txt -o message.sig
  has "the security officer signs" "$ERR" "Private key not found"
  [ ! -s message.sig ] || fail "the security officer's session made a signature"
  for round in 1 2 3; do
    expect 0 "delete data, round $round" -- user --delete-object --type data --label "client data"
    expect 0 "write data again, round $round" -- user --write-object data.txt --type data --label "client data"
  done
  for key in 2 3 4; do
    expect 0 "key pair $key" -- user --keypairgen --key-type rsa:1024 --id 0$key --label "key $key"
  done
  expect 1 "a fifth key pair" -- user --keypairgen --key-type rsa:1024 --id 05
  has "a fifth key pair" "$ERR" CKR_DEVICE_MEMORY
}

openssh() {
  expect 0 "ssh-keygen -D" -- ssh-keygen -D "$MODULE"
  grep "client key" "$OUT" >key.pub || fail "ssh-keygen -D lists no 'client key'"
  printf '#!/bin/sh\necho %s\n' "$USER_PIN" >askpass.sh
  chmod +x askpass.sh
  # ssh-agent is setgid, which drops a preloaded sanitizer runtime on the
  # way to the helper that loads the module; a copy is not.
  local agentProgram agent
  agentProgram=$(command -v ssh-agent)
  if [ -n "${LD_PRELOAD:-}" ]; then
    cp "$agentProgram" ./ssh-agent && agentProgram=./ssh-agent
  fi
  agent=$("$agentProgram" -s -P "$(dirname "$MODULE")/*") || { fail "ssh-agent did not start"; return; }
  eval "$agent" >/dev/null
  expect 0 "ssh-add -s" -- env SSH_ASKPASS="$WORK/askpass.sh" SSH_ASKPASS_REQUIRE=force DISPLAY=none \
    ssh-add -s "$MODULE" </dev/null
  expect 0 "ssh-add -l" -- ssh-add -l
  has "ssh-add -l" "$OUT" "client key"
  echo "signed by the agent" >agent.txt
  expect 0 "ssh-keygen -Y sign" -- ssh-keygen -Y sign -f key.pub -n file agent.txt
  echo "client $(cat key.pub)" >allowed_signers
  expect 0 "ssh-keygen -Y verify" -- sh -c \
    'ssh-keygen -Y verify -f allowed_signers -I client -n file -s agent.txt.sig <agent.txt'
  has "ssh-keygen -Y verify" "$OUT" 'Good "file" signature for client'
  ssh-agent -k >/dev/null 2>&1
}

gnutls() {
  expect 0 "p11tool --list-all" -- env GNUTLS_PIN="$USER_PIN" p11tool --provider "$MODULE" --login --list-all
  has "p11tool --list-all" "$OUT" "Private key (RSA-1024)"
  has "p11tool --list-all" "$OUT" "client cert"
  has "p11tool --list-all" "$OUT" "client data"
  expect 0 "p11tool --test-sign" -- env GNUTLS_PIN="$USER_PIN" p11tool --provider "$MODULE" --login \
    --test-sign "pkcs11:object=client%20key;type=private"
  has "p11tool --test-sign" "$ERR" "Verifying against public key in the token... ok"
}

pkcs11_tool
openssh
gnutls
failure_cases

if ((FAILURES > 0)); then
  echo "$FAILURES check(s) failed"
  exit 1
fi
echo "all client checks passed"

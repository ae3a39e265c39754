# Sourced by the client scripts of this folder: the module, a scratch
# folder, a fresh token in it (or the slots TKP30_CLIENT_SLOTS names: the
# PC/SC suite passes its virtual card) and the checks of expect.sh.
#   <script> <module> <work dir>
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../../support/expect.sh"

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

# GnuTLS's programs and curl hang in glibc's locale lock whenever the
# sanitizer runtime is preloaded into them, with no module loaded at all
# (`curl --version`, `p11tool --list-tokens`): in a sanitized build their
# commands are left to the normal build's run. Says so when it skips.
hangs_when_preloaded() {
  [ -n "${TKP30_CLIENT_PRELOAD:-}" ] || return 1
  echo "SKIP: $* (hangs with a preloaded sanitizer runtime, module or not)"
}

SO_PIN=11223344
USER_PIN=123456
TOKEN_LABEL="client test"
OUT=$WORK/out.txt
ERR=$WORK/err.txt
# Every client command runs bounded: a client that hangs fails the check.
LIMIT=${TKP30_CLIENT_LIMIT:-120}

needs() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/deps.sh)"; exit 1; }
  done
}
needs pkcs11-tool openssl timeout

has() { grep -q -- "$3" "$2" || fail "$1: lacks '$3'"; }
p11() { timeout "$LIMIT" pkcs11-tool --module "$MODULE" "$@"; }
user() { p11 --login --pin "$USER_PIN" "$@"; }

# A throwaway authority (ca.pem, ca.key) and what it issues: cert.pem and
# cert.der for the token's key pair (an end-entity certificate for TLS
# clients and e-mail), srv.pem and srv.key for a TLS server on 127.0.0.1.
issue_certificates() {
  cat >ext.cnf <<'CNF'
[client]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = clientAuth, emailProtection
subjectAltName = email:client@example.org
[server]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1, DNS:localhost
CNF
  openssl pkey -pubin -inform DER -in pub.der -out pub.pem &&
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -subj /CN=ca -days 2 -out ca.pem \
      2>/dev/null &&
    openssl x509 -new -force_pubkey pub.pem -subj "/CN=client/emailAddress=client@example.org" \
      -CA ca.pem -CAkey ca.key -days 2 -extfile ext.cnf -extensions client -out cert.pem &&
    openssl x509 -in cert.pem -outform DER -out cert.der &&
    openssl req -newkey rsa:2048 -nodes -keyout srv.key -subj /CN=localhost -out srv.csr \
      2>/dev/null &&
    openssl x509 -req -in srv.csr -CA ca.pem -CAkey ca.key -days 2 -extfile ext.cnf \
      -extensions server -out srv.pem 2>/dev/null
}

# The token every client script starts from: the user PIN set, the key
# pair "client key" (id 01) with its certificate "client cert", and a data
# object "client data".
make_token() {
  p11 --init-token --label "$TOKEN_LABEL" --so-pin "$SO_PIN" >/dev/null 2>&1 &&
    p11 --init-pin --login --login-type so --so-pin "$SO_PIN" --pin "$USER_PIN" >/dev/null 2>&1 &&
    user --keypairgen --key-type rsa:1024 --id 01 --label "client key" >/dev/null 2>&1 &&
    p11 --read-object --type pubkey --id 01 -o pub.der >/dev/null 2>&1 &&
    issue_certificates &&
    user --write-object cert.der --type cert --id 01 --label "client cert" >/dev/null 2>&1 &&
    echo "some data" >data.txt &&
    user --write-object data.txt --type data --label "client data" >/dev/null 2>&1
}

# A free TCP port on 127.0.0.1.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Waits (at most 10 s) until something listens on port $1, without
# connecting: a server that accepts one connection keeps it for the client.
wait_listening() {
  local i
  for ((i = 0; i < 100; i++)); do
    ss -Hltn "sport = :$1" | grep -q . && return 0
    sleep 0.1
  done
  return 1
}

finish() {
  if ((FAILURES > 0)); then
    echo "$FAILURES check(s) failed"
    exit 1
  fi
  echo "all checks passed"
}

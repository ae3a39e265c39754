#!/usr/bin/env bash
# OpenSSL 3 programs through libp11's pkcs11 engine (Debian's
# libengine-pkcs11-openssl), configured by an OPENSSL_CONF file as users
# do: signatures checked by openssl itself, a self-signed certificate, TLS
# 1.3 and 1.2 client authentication against openssl s_server, and curl.
#   openssl_engine.sh <module> <work dir>
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
needs curl ss
ENGINE=$(openssl version -e | sed -n 's/^ENGINESDIR: "\(.*\)"$/\1/p')/pkcs11.so
[ -f "$ENGINE" ] || { echo "FAIL: $ENGINE is missing (libengine-pkcs11-openssl)"; exit 1; }
make_token || { echo "FAIL: setting up the token"; exit 1; }

# The token's keys are 1024-bit RSA, which OpenSSL 3 refuses in TLS at its
# default security level 2 ("ee key too small"): level 1 takes them.
cat >openssl.cnf <<CNF
openssl_conf = openssl_init
[openssl_init]
engines = engine_section
ssl_conf = ssl_section
[engine_section]
pkcs11 = pkcs11_section
[pkcs11_section]
engine_id = pkcs11
dynamic_path = $ENGINE
MODULE_PATH = $MODULE
init = 0
[ssl_section]
system_default = tls_defaults
[tls_defaults]
CipherString = DEFAULT:@SECLEVEL=1
[req]
distinguished_name = req_dn
x509_extensions = self_signed
[req_dn]
[self_signed]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, digitalSignature
CNF
export OPENSSL_CONF=$WORK/openssl.cnf
KEY="pkcs11:token=client%20test;object=client%20key;type=private;pin-value=$USER_PIN"
ossl() { timeout "$LIMIT" openssl "$@"; }

signatures() {
  echo "the quarterly report" >doc.txt
  openssl dgst -sha256 -binary doc.txt >doc.sha256
  expect 0 "pkeyutl -sign (PKCS #1)" -- ossl pkeyutl -engine pkcs11 -keyform engine -inkey "$KEY" \
    -sign -pkeyopt digest:sha256 -in doc.sha256 -out doc.sig
  expect 0 "pkeyutl -verify (PKCS #1)" -- ossl pkeyutl -verify -pubin -inkey pub.pem \
    -pkeyopt digest:sha256 -in doc.sha256 -sigfile doc.sig
  expect 0 "pkeyutl -sign (PSS)" -- ossl pkeyutl -engine pkcs11 -keyform engine -inkey "$KEY" \
    -sign -pkeyopt digest:sha256 -pkeyopt rsa_padding_mode:pss -pkeyopt rsa_pss_saltlen:32 \
    -in doc.sha256 -out doc.pss
  expect 0 "pkeyutl -verify (PSS)" -- ossl pkeyutl -verify -pubin -inkey pub.pem \
    -pkeyopt digest:sha256 -pkeyopt rsa_padding_mode:pss -pkeyopt rsa_pss_saltlen:32 \
    -in doc.sha256 -sigfile doc.pss
  # One bit of the signature flipped: writing a fixed byte would leave it
  # unchanged whenever the signature already held that byte there.
  python3 -c 'import sys; b = bytearray(open(sys.argv[1], "rb").read()); b[5] ^= 1
open(sys.argv[2], "wb").write(b)' doc.sig bad.sig
  expect 1 "pkeyutl -verify refuses a spoilt signature" -- ossl pkeyutl -verify -pubin \
    -inkey pub.pem -pkeyopt digest:sha256 -in doc.sha256 -sigfile bad.sig
}

self_signed() {
  expect 0 "req -new -x509" -- ossl req -new -x509 -engine pkcs11 -keyform engine -key "$KEY" \
    -subj "/CN=signed on the token" -days 2 -out self.pem
  expect 0 "verify the self-signed certificate" -- ossl verify -CAfile self.pem self.pem
  expect 0 "its key is the token's" -- sh -c \
    'openssl x509 -in self.pem -noout -pubkey | cmp - pub.pem'
}

# One TLS handshake with client authentication: s_server asks for and
# checks the client's certificate; the token's key makes the proof.
tls_handshake() {
  local version=$1 port server
  port=$(free_port)
  openssl s_server -accept "127.0.0.1:$port" -cert srv.pem -key srv.key -CAfile ca.pem \
    -Verify 1 -verify_return_error -naccept 1 -www "-$version" >server.log 2>&1 &
  server=$!
  if wait_listening "$port"; then
    expect 0 "s_client $version with the token's key" -- sh -c \
      'printf "GET / HTTP/1.0\r\n\r\n" | timeout "$0" openssl s_client -connect "127.0.0.1:$1" \
         -CAfile ca.pem -engine pkcs11 -keyform engine -key "$2" -cert cert.pem -ign_eof' \
      "$LIMIT" "$port" "$KEY"
    has "s_client $version" "$OUT" "HTTP/1.0 200 ok"
    has "s_client $version" "$OUT" "Verify return code: 0 (ok)"
  else
    fail "s_server $version did not listen on $port"
  fi
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
}

with_curl() {
  local port server
  hangs_when_preloaded curl && return
  port=$(free_port)
  openssl s_server -accept "127.0.0.1:$port" -cert srv.pem -key srv.key -CAfile ca.pem \
    -Verify 1 -verify_return_error -naccept 1 -www >server.log 2>&1 &
  server=$!
  if wait_listening "$port"; then
    expect 0 "curl with the token's key" -- timeout "$LIMIT" curl -sS --engine pkcs11 \
      --key-type ENG --key "$KEY" --cert cert.pem --cacert ca.pem "https://127.0.0.1:$port/"
    has "curl" "$OUT" "s_server"
  else
    fail "s_server did not listen on $port for curl"
  fi
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
}

signatures
self_signed
tls_handshake tls1_3
tls_handshake tls1_2
with_curl
finish

#!/usr/bin/env bash
# GnuTLS: TLS 1.3 and 1.2 client authentication with the token's key and
# certificate by pkcs11: URI (gnutls-cli against gnutls-serv), and a
# certificate request signed by the token's key (certtool).
#   gnutls.sh <module> <work dir>
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
needs gnutls-serv gnutls-cli certtool ss
hangs_when_preloaded "gnutls-cli and certtool" && exit 77
make_token || { echo "FAIL: setting up the token"; exit 1; }
export GNUTLS_PIN=$USER_PIN
TOKEN="pkcs11:token=client%20test"

port=$(free_port)
gnutls-serv --port "$port" --x509certfile srv.pem --x509keyfile srv.key --x509cafile ca.pem \
  --require-client-cert --verify-client-cert >server.log 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null' EXIT
wait_listening "$port" || fail "gnutls-serv did not listen on $port"

handshake() {
  local version=$1
  expect 0 "gnutls-cli $version" -- timeout "$LIMIT" gnutls-cli --provider "$MODULE" \
    --x509certfile "$TOKEN;object=client%20cert;type=cert" \
    --x509keyfile "$TOKEN;object=client%20key;type=private" --x509cafile ca.pem \
    --priority "NORMAL:-VERS-ALL:+VERS-$version" -p "$port" localhost </dev/null
  has "gnutls-cli $version" "$OUT" "Handshake was completed"
}
handshake TLS1.3
handshake TLS1.2
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
grep -q "CN=client" server.log || fail "gnutls-serv saw no client certificate"

cat >request.cfg <<'CFG'
cn = "request from the token"
CFG
expect 0 "certtool --generate-request" -- timeout "$LIMIT" certtool --generate-request \
  --provider "$MODULE" --load-privkey "$TOKEN;object=client%20key;type=private" \
  --template request.cfg --outfile request.pem
expect 0 "the request verifies" -- openssl req -in request.pem -verify -noout
expect 0 "its key is the token's" -- sh -c 'openssl req -in request.pem -noout -pubkey | cmp - pub.pem'
finish

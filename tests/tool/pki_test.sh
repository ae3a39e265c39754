#!/usr/bin/env bash
# Public keys in the forms other tools read, signatures with each hash,
# certificate requests and self-signed certificates signed on the token,
# and encrypted PEM keys; openssl and ssh-keygen are the judges.
#   pki_test.sh <tkp30> <openssl> <work dir>
TKP30=$1
OPENSSL=$2
WORK=$3
. "$(dirname "$0")/common.sh"

public_key_forms() {
  tk 0 "pubkey PEM" pubkey --key 0 -o pub.pem
  tk 0 "pubkey DER" pubkey --key 0 --der -o pub.der
  "$OPENSSL" pkey -pubin -inform DER -in pub.der -out der.pem 2>"$ERR" || fail "the DER key does not parse"
  same_files "DER and PEM" pub.pem der.pem
  tk 0 "pubkey OpenSSH" pubkey --key 0 --ssh -o pub.ssh
  local ours theirs
  ours=$(ssh-keygen -l -f pub.ssh | cut -d' ' -f1,2)
  theirs=$(ssh-keygen -i -m PKCS8 -f pub.pem | ssh-keygen -l -f - | cut -d' ' -f1,2)
  [ -n "$ours" ] && [ "$ours" = "$theirs" ] || fail "OpenSSH key '$ours', expected '$theirs'"
  tk 2 "both forms" pubkey --key 0 --der --ssh
}

signatures_with_each_hash() {
  head -c 3000 /dev/urandom >doc.bin
  local hash
  for hash in sha1 sha256 sha384 sha512; do
    tk 0 "sign --hash $hash" sign --key 0 --hash "$hash" -i doc.bin -o "doc.$hash"
    expect 0 "openssl verifies $hash" -- "$OPENSSL" dgst "-$hash" -verify pub.pem -signature "doc.$hash" doc.bin
    tk 0 "verify --hash $hash" verify --key 0 --hash "$hash" -i doc.bin -s "doc.$hash"
  done
  tk 1 "verify with the wrong hash" verify --key 0 --hash sha384 -i doc.bin -s doc.sha512
}

certificates() {
  tk 0 "csr" csr --key 0 --subject '/CN=Token User/O=Example\/Lab' -o req.pem
  expect 0 "openssl req -verify" -- "$OPENSSL" req -in req.pem -verify -noout -subject
  stderr_has "request verified" "verify OK"
  stdout_has "request subject" "CN = Token User, O = Example/Lab"
  tk 0 "selfsign" selfsign --key 0 --subject '/CN=Token CA' --days 30 --hash sha512 -o ca.pem
  expect 0 "openssl verify -CAfile" -- "$OPENSSL" verify -CAfile ca.pem ca.pem
  "$OPENSSL" x509 -in ca.pem -noout -pubkey >ca.pub 2>"$ERR"
  same_files "certificate key is the token's" pub.pem ca.pub
  extensions_are "CA" ca.pem "X509v3 Basic Constraints: critical CA:TRUE
X509v3 Key Usage: critical Digital Signature, Certificate Sign, CRL Sign
X509v3 Subject Key Identifier: <id>"
  end_entity_certificates
  tk 0 "logout" logout
  tk 1 "csr logged out" csr --key 0 --subject /CN=x
  stderr_has "csr logged out" "nothing sent"
  tk 2 "bad subject" selfsign --key 0 --subject 'CN=x'
}

# extensions_are <what> <certificate> <lines>: every extension with its
# value, as openssl prints them, one a line (a key identifier as <id>).
extensions_are() {
  expect 0 "$1 as text" -- "$OPENSSL" x509 -in "$2" -text -noout
  local shown
  shown=$(awk '/^ +X509v3 / && !/X509v3 extensions:/ {
                 name = $0; getline; value = $0
                 if (value ~ /^ *[0-9A-F:]+$/) value = "<id>"
                 gsub(/^ +| +$/, "", name); gsub(/^ +| +$/, "", value); print name " " value }' "$OUT")
  [ "$shown" = "$3" ] || fail "$1 extensions:"$'\n'"$shown"$'\n'"expected:"$'\n'"$3"
}

end_entity_certificates() {
  tk 0 "selfsign --end-entity" selfsign --key 0 --subject '/CN=Token User' --end-entity -o ee.pem
  expect 0 "openssl checks its own signature" -- "$OPENSSL" verify -check_ss_sig -CAfile ee.pem ee.pem
  extensions_are "end entity" ee.pem "X509v3 Basic Constraints: critical CA:FALSE
X509v3 Key Usage: critical Digital Signature, Key Encipherment
X509v3 Extended Key Usage: TLS Web Client Authentication, E-mail Protection
X509v3 Subject Key Identifier: <id>"
  tk 0 "--eku codeSigning" selfsign --key 0 --subject /CN=Signer --end-entity --eku codeSigning -o cs.pem
  extensions_are "code signing" cs.pem "X509v3 Basic Constraints: critical CA:FALSE
X509v3 Key Usage: critical Digital Signature, Key Encipherment
X509v3 Extended Key Usage: Code Signing
X509v3 Subject Key Identifier: <id>"
  tk 2 "--eku without --end-entity" selfsign --key 0 --subject /CN=x --eku codeSigning -o none.pem
  stderr_has "--eku without --end-entity" "--eku requires --end-entity"
  tk 2 "unknown --eku" --trace selfsign --key 0 --subject /CN=x --end-entity --eku clientAuth,mailSigning -o none.pem
  stderr_has "unknown --eku" '"mailSigning" is not an extended key usage; choose from serverAuth, clientAuth'
  stderr_lacks "unknown --eku" "slot 1 >"
  [ ! -e none.pem ] || fail "a refused selfsign wrote its output"
}

encrypted_pem() {
  tk 0 "login" login --pin-env USER_PIN
  "$OPENSSL" genrsa 1024 2>/dev/null |
    "$OPENSSL" pkcs8 -topk8 -v2 aes-256-cbc -passout pass:open-sesame -out enc.pem
  export KEY_PASS=open-sesame
  # setsid: no controlling terminal, so nothing may be asked for.
  expect 1 "encrypted key without --passin" -- timeout 20 setsid "$TKP30" --emulator "$IMAGE" import -i enc.pem
  stderr_has "no terminal" "enc.pem is encrypted and there is no terminal"
  tk 1 "wrong pass phrase" import -i enc.pem --passin file:/dev/null
  stderr_has "wrong pass phrase" "cannot decrypt enc.pem"
  tk 0 "encrypted key with --passin" import -i enc.pem --passin env:KEY_PASS
  stdout_has "imported" "slot 1"
  tk 2 "bad --passin" import -i enc.pem --passin open-sesame
  stderr_lacks "bad --passin" "open-sesame"
}

format_token
tk 0 "login" login --pin-env USER_PIN
tk 0 "keygen" keygen
public_key_forms
signatures_with_each_hash
certificates
encrypted_pem
finish

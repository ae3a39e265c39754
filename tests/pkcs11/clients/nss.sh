#!/usr/bin/env bash
# NSS, as Firefox and Thunderbird use it: the module added to a fresh
# database with modutil, the token's certificate listed by certutil, a
# CMS signature made with the token's key by cmsutil and checked by
# openssl.
#   nss.sh <module> <work dir>
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
needs modutil certutil cmsutil
make_token || { echo "FAIL: setting up the token"; exit 1; }

DB=sql:$WORK/nssdb
NICK="$TOKEN_LABEL:client cert"
mkdir -p nssdb
echo "$USER_PIN" >pin.txt
nss() { timeout "$LIMIT" "$@"; }

expect 0 "modutil -create" -- nss modutil -dbdir "$DB" -create -force
# FRIENDLY: the token's certificates show before a login, as a browser's
# "Security Devices" dialog asks.
expect 0 "modutil -add" -- nss modutil -dbdir "$DB" -add tkp30 -libfile "$MODULE" \
  -mechanisms FRIENDLY -force
expect 0 "modutil -list" -- nss modutil -dbdir "$DB" -list tkp30
has "modutil -list" "$OUT" "$TOKEN_LABEL"

expect 0 "certutil -L -h all" -- nss certutil -d "$DB" -L -h all -f pin.txt
has "certutil -L -h all" "$OUT" "$NICK"
expect 0 "certutil -L -n" -- nss certutil -d "$DB" -L -n "$NICK" -a
openssl x509 -in cert.pem -noout -fingerprint -sha256 >want.txt
openssl x509 -in "$OUT" -noout -fingerprint -sha256 >got.txt 2>/dev/null
cmp -s want.txt got.txt || fail "certutil shows another certificate than the token's"

# The authority that issued the token's certificate, trusted as a user
# trusts his organisation's.
expect 0 "certutil -A the authority" -- nss certutil -d "$DB" -A -n "test ca" -t "C,C,C" -i ca.pem
echo "the quarterly report" >doc.txt
expect 0 "cmsutil -S" -- nss cmsutil -S -N "$NICK" -d "$DB" -f pin.txt -i doc.txt -o doc.p7s
expect 0 "openssl cms -verify" -- openssl cms -verify -CAfile ca.pem -inform DER -in doc.p7s \
  -out verified.txt
cmp -s doc.txt verified.txt || fail "the signed content does not come back"
finish

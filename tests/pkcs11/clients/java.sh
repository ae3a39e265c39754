#!/usr/bin/env bash
# Java's SunPKCS11 provider: keytool lists the token's key entry, jarsigner
# signs a small jar with it and accepts the signature.
#   java.sh <module> <work dir>
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
needs keytool jarsigner jar
make_token || { echo "FAIL: setting up the token"; exit 1; }

printf 'name = tkp30\nlibrary = %s\n' "$MODULE" >tkp30.cfg
P11=(-storetype PKCS11 -providerClass sun.security.pkcs11.SunPKCS11 -providerArg tkp30.cfg
     -storepass "$USER_PIN")
java_tool() { timeout "$LIMIT" "$@"; }

expect 0 "keytool -list" -- java_tool keytool -list "${P11[@]}"
has "keytool -list" "$OUT" "PrivateKeyEntry"
alias=$(sed -n 's/^\(.*\), PrivateKeyEntry.*$/\1/p' "$OUT" | head -1)
[ -n "$alias" ] || fail "keytool -list names no key entry"

echo "hello from the token" >hello.txt
expect 0 "jar" -- java_tool jar cf app.jar hello.txt
expect 0 "jarsigner" -- java_tool jarsigner -keystore NONE "${P11[@]}" app.jar "$alias"
expect 0 "jarsigner -verify" -- java_tool jarsigner -verify app.jar
has "jarsigner -verify" "$OUT" "jar verified"
finish

#!/usr/bin/env bash
# osslsigncode: Authenticode signing of a Windows program with the token's
# key and a code-signing certificate kept on the token (libp11's engine),
# and the signature verified against the authority; a changed program fails.
#   osslsigncode.sh <module> <work dir>
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
needs osslsigncode python3
ENGINE=$(openssl version -e | sed 's/^ENGINESDIR: "\(.*\)"$/\1/')/pkcs11.so
[ -f "$ENGINE" ] || { echo "FAIL: $ENGINE is missing (libengine-pkcs11-openssl)"; exit 1; }
make_token || { echo "FAIL: setting up the token"; exit 1; }

cat >>ext.cnf <<'CNF'
[codesign]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
CNF
openssl x509 -new -force_pubkey pub.pem -subj "/CN=client code" -CA ca.pem -CAkey ca.key \
  -days 2 -extfile ext.cnf -extensions codesign -outform DER -out codesign.der &&
  user --write-object codesign.der --type cert --id 01 --label "code signing" >/dev/null 2>&1 ||
  { echo "FAIL: the code-signing certificate"; exit 1; }

# The smallest PE32 program Windows would run: one section, "xor eax,eax; ret".
python3 - app.exe <<'PY'
import struct, sys
dos = b"MZ" + bytes(0x3A) + struct.pack("<I", 0x40)
coff = struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, 0xE0, 0x0102)
opt = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII", 0x10B, 1, 0, 0x200, 0, 0, 0x1000, 0x1000,
                  0x2000, 0x400000, 0x1000, 0x200, 4, 0, 0, 0, 4, 0, 0, 0x2000, 0x200, 0, 3, 0,
                  0x100000, 0x1000, 0x100000, 0x1000, 0, 16) + bytes(16 * 8)
text = struct.pack("<8sIIIIIIHHI", b".text", 3, 0x1000, 0x200, 0x200, 0, 0, 0, 0, 0x60000020)
head = (dos + b"PE\0\0" + coff + opt + text).ljust(0x200, b"\0")
open(sys.argv[1], "wb").write(head + b"\x31\xc0\xc3".ljust(0x200, b"\0"))
PY

TOKEN="pkcs11:token=client%20test"
expect 0 "osslsigncode sign" -- timeout "$LIMIT" osslsigncode sign -pkcs11engine "$ENGINE" \
  -pkcs11module "$MODULE" -pkcs11cert "$TOKEN;object=code%20signing;type=cert" \
  -key "$TOKEN;object=client%20key;type=private" -pass "$USER_PIN" -h sha256 \
  -n "tkp30 test" -in app.exe -out signed.exe
expect 0 "osslsigncode verify" -- timeout "$LIMIT" osslsigncode verify -CAfile ca.pem -in signed.exe
has "osslsigncode verify" "$OUT" "Signature verification: ok"
has "osslsigncode verify" "$OUT" "Subject: /CN=client code"

python3 -c 'import sys; b = bytearray(open(sys.argv[1], "rb").read()); b[0x201] ^= 1
open(sys.argv[1], "wb").write(b)' signed.exe
expect 1 "a changed program fails" -- timeout "$LIMIT" osslsigncode verify -CAfile ca.pem \
  -in signed.exe
finish

#!/usr/bin/env bash
# The tkp30 tool end to end on an emulated token: every command family,
# the PIN flows with wrong PINs, and the ciphers against openssl.
#   tool_test.sh <tkp30> <openssl> <work dir>
TKP30=$1
OPENSSL=$2
WORK=$3
. "$(dirname "$0")/common.sh"

usage_errors() {
  expect 2 "no command" -- "$TKP30"
  stderr_has "no command" "subcommand is required"
  expect 2 "unknown option" -- "$TKP30" info --bogus
  expect 2 "unknown command" -- "$TKP30" frobnicate
  tk 2 "key slot out of range" pubkey --key 4
  tk 2 "file type out of range" file read --type 4 --index 0 --length 1
  tk 2 "file index beyond its type" file read --type 1 --index 512 --length 1
  tk 2 "bad access selector" file create --type 1 --index 0 --size 8 --read everyone --write user
  tk 2 "DES key of the wrong length" encrypt --cipher des --key-hex 0011 --iv 0001020304050607 -i /dev/null -o x
  stderr_has "DES key length" "a DES key is 8 bytes"
  if grep -q 0011 "$ERR"; then fail "a rejected key is echoed"; fi
  tk 2 "key that is not hex" encrypt --cipher des --key-hex zz00112233445566 --iv 0001020304050607 -i /dev/null -o x
  tk 2 "CBC without an IV" encrypt --cipher des --key-hex 0011223344556677 -i /dev/null -o x
  tk 2 "no key at all" mac --cipher des -i /dev/null
  tk 2 "format without confirmation" format --super-pin-env SUPER_PIN --user-pin-env USER_PIN </dev/null
  tk 2 "PIN variable not set" login --pin-env NO_SUCH_VARIABLE
  tk 2 "rand of nothing" rand 0
  [ ! -e x ] || fail "a refused command created its output file"
}

no_silent_fallback() {
  expect 1 "no token configured" -- "$TKP30" info
  stderr_has "no token configured" "TKP30_SLOTS"
  [ ! -e "$IMAGE" ] || fail "an emulated token appeared without --emulator"
}

messages() {
  expect 0 "errmsg" -- "$TKP30" errmsg -114
  stdout_has "errmsg -114" "登录失败"
  expect 0 "errmsg tries left" -- "$TKP30" errmsg 3
  stdout_has "errmsg 3" "还有3次"
}

format_and_info() {
  tk 0 "format" format --yes --super-pin-env SUPER_PIN --user-pin-env USER_PIN
  tk 0 "info" info
  stdout_has "info" "user PIN: *not logged in"
  stdout_has "info" "key pairs: *0 of 4"
}

pin_flows() {
  # A wrong PIN reports the tries left, one fewer each time.
  tk 1 "wrong user PIN" login --pin-env WRONG_PIN
  local left
  left=$(sed -n 's/.*还有\([0-9]*\)次.*(code \([0-9]*\))$/\2/p' "$ERR")
  [ -n "$left" ] && [ "$left" -ge 2 ] || fail "wrong user PIN: no tries-left message"
  tk 1 "second wrong user PIN" login --pin-env WRONG_PIN
  stderr_has "second wrong user PIN" "(code $((left - 1)))"
  echo "$USER_PIN" >pin.txt
  tk 0 "user login from a file" login --pin-file pin.txt
  tk 0 "info after login" info
  stdout_has "info after login" "user PIN: *logged in"
  tk 0 "logout" logout
  tk 0 "info after logout" info
  stdout_has "info after logout" "user PIN: *not logged in"

  tk 1 "change PIN with a wrong old PIN" change-pin user --old-pin-env WRONG_PIN --new-pin-env NEW_PIN
  tk 0 "change PIN" change-pin user --old-pin-env USER_PIN --new-pin-env NEW_PIN
  tk 1 "old PIN after the change" login --pin-env USER_PIN
  tk 0 "new PIN after the change" login --pin-env NEW_PIN
  tk 1 "wrong super PIN" login super --pin-env WRONG_PIN

  local i
  for i in $(seq 1 16); do
    "$TKP30" --emulator "$IMAGE" login --pin-env WRONG_PIN >"$OUT" 2>"$ERR"
    grep -q "code -1)" "$ERR" && break
  done
  stderr_has "blocking the user PIN" "code -1)"
  tk 1 "blocked user PIN, right value" login --pin-env NEW_PIN
  tk 1 "unlock with a wrong super PIN" unlock-pin --super-pin-env WRONG_PIN --new-pin-env USER_PIN
  tk 0 "unlock" unlock-pin --super-pin-env SUPER_PIN --new-pin-env USER_PIN
  tk 0 "login after unlock" login --pin-env USER_PIN
}

file_round_trips() {
  printf 'global info bytes' >global.bin
  tk 0 "global create" global create --size 64
  tk 0 "global write" global write --offset 4 -i global.bin
  tk 0 "global read" global read --offset 4 --length 17 -o global.back
  same_files "global round trip" global.bin global.back
  tk 0 "global read as hex" global read --offset 4 --length 6
  stdout_has "global hex" "676c6f62616c"
  tk 1 "global read past the end" global read --offset 60 --length 10

  head -c 300 /dev/urandom >data.bin
  tk 0 "file create" file create --type 2 --index 5 --size 300 --read free --write user
  tk 0 "file write" file write --type 2 --index 5 -i data.bin
  tk 0 "file read" file read --type 2 --index 5 --length 300 -o data.back
  same_files "file round trip" data.bin data.back
  tk 0 "info lists the file" info
  stdout_has "info lists the file" "type 2 index 5"
  tk 0 "file write hex at an offset" file write --type 2 --index 5 --offset 10 --hex 'de ad be ef'
  tk 0 "file read hex" file read --type 2 --index 5 --offset 10 --length 4
  stdout_has "file hex" "deadbeef"
  tk 1 "read of a file never created" file read --type 3 --index 7 --length 1
  tk 0 "file delete" file delete --yes --type 2 --index 5
  tk 1 "read after delete" file read --type 2 --index 5 --length 1
  stderr_has "read after delete" "code -129"
  tk 0 "file with a user-PIN read" file create --type 1 --index 3 --size 8 --read user --write user
  tk 0 "write it logged in" file write --type 1 --index 3 --hex 0102
  tk 0 "logout before the protected read" logout
  tk 1 "protected read logged out" file read --type 1 --index 3 --length 2
  tk 0 "login again" login --pin-env USER_PIN
}

keys_and_signatures() {
  tk 0 "logout before keygen" logout
  tk 1 "keygen without a login" keygen
  tk 0 "login for keygen" login --pin-env USER_PIN
  tk 0 "keygen" keygen
  stdout_has "keygen" "slot 0"
  tk 0 "pubkey" pubkey --key 0 -o pub0.pem
  "$OPENSSL" pkey -pubin -in pub0.pem -noout -text >"$OUT" 2>"$ERR" || fail "pubkey is not a PEM public key"
  stdout_has "pubkey text" "Public-Key: (1024 bit)"
  stdout_has "pubkey text" "Exponent: 65537"

  head -c 100000 /dev/urandom >message.bin
  tk 0 "sign" sign --key 0 -i message.bin -o message.sig
  expect 0 "openssl verifies the token's signature" -- \
    "$OPENSSL" dgst -sha256 -verify pub0.pem -signature message.sig message.bin
  tk 0 "verify" verify --key 0 -i message.bin -s message.sig
  printf 'x' >>message.bin
  tk 1 "verify a changed file" verify --key 0 -i message.bin -s message.sig
  expect 1 "openssl refuses the changed file" -- \
    "$OPENSSL" dgst -sha256 -verify pub0.pem -signature message.sig message.bin

  "$OPENSSL" genrsa -out key.pem 1024 2>/dev/null
  "$OPENSSL" rsa -in key.pem -pubout -out key.pub.pem 2>/dev/null
  tk 0 "import" import -i key.pem
  stdout_has "import" "slot 1"
  tk 0 "pubkey of the imported key" pubkey --key 1 -o pub1.pem
  same_files "imported public key" key.pub.pem pub1.pem
  tk 0 "sign with the imported key" sign --key 1 -i message.bin -o imported.sig
  "$OPENSSL" dgst -sha256 -sign key.pem -out openssl.sig message.bin
  same_files "imported key signs like openssl" openssl.sig imported.sig

  "$OPENSSL" genrsa -out big.pem 2048 2>/dev/null
  tk 1 "import of a 2048-bit key" import -i big.pem
  stderr_has "2048-bit import" "1024-bit"
  "$OPENSSL" genrsa -3 -out e3.pem 1024 2>/dev/null
  tk 1 "import with exponent 3" import -i e3.pem
  echo "not a key" >junk.pem
  tk 1 "import of junk" import -i junk.pem

  printf 'a secret for the token' >secret.txt
  tk 0 "rsa-encrypt" rsa-encrypt --key 0 -i secret.txt -o secret.enc
  tk 0 "rsa-decrypt" rsa-decrypt --key 0 -i secret.enc -o secret.back
  same_files "RSA round trip" secret.txt secret.back
  "$OPENSSL" pkeyutl -encrypt -pubin -inkey pub1.pem -in secret.txt -out openssl.enc
  tk 0 "rsa-decrypt of openssl's ciphertext" rsa-decrypt --key 1 -i openssl.enc -o openssl.back
  same_files "openssl to token" secret.txt openssl.back
  head -c 118 /dev/zero >toolong.bin
  tk 1 "rsa-encrypt of 118 bytes" rsa-encrypt --key 0 -i toolong.bin -o x

  tk 0 "rand" rand 100
  [ "$(tr -d '\n' <"$OUT" | wc -c)" -eq 200 ] || fail "rand 100 is not 200 hex digits"
  tk 0 "rand to a file" rand 33 -o rand.bin
  [ "$(wc -c <rand.bin)" -eq 33 ] || fail "rand -o wrote the wrong size"
}

# cipher_against_openssl <tkp30 cipher> <openssl cipher> <key hex> <iv hex or ->
cipher_against_openssl() {
  local ours=$1 theirs=$2 key=$3 iv=$4
  local ivargs=() ivenc=()
  [ "$iv" = - ] || { ivargs=(--iv "$iv"); ivenc=(-iv "$iv"); }
  echo "$key" >cipher.key
  tk 0 "$ours encrypt" encrypt --cipher "$ours" --key-file cipher.key "${ivargs[@]}" -i big.bin -o "big.$ours"
  openssl_enc "-$theirs" -K "$key" "${ivenc[@]}" -in big.bin -out "big.$ours.openssl" ||
    fail "openssl enc -$theirs"
  same_files "$ours against openssl" "big.$ours" "big.$ours.openssl"
  tk 0 "$ours decrypt of openssl's ciphertext" decrypt --cipher "$ours" --key-file cipher.key \
    "${ivargs[@]}" -i "big.$ours.openssl" -o "big.$ours.back"
  same_files "$ours decryption" big.bin "big.$ours.back"
}

ciphers() {
  head -c $((3 * 1024 * 1024 + 5)) /dev/urandom >big.bin
  cipher_against_openssl des des-cbc 133457799bbcdff1 0001020304050607
  cipher_against_openssl 3des des-ede3-cbc 0123456789abcdeffedcba987654321089abcdef01234567 1122334455667788
  cipher_against_openssl rc2 rc2-cbc 00112233445566778899aabbccddeeff 0102030405060708
  cipher_against_openssl rc4 rc4 0f1e2d3c4b5a69788796a5b4c3d2e1f0 -
  tk 0 "des ecb" encrypt --cipher des --mode ecb --key-hex 133457799bbcdff1 -i big.bin -o big.ecb
  openssl_enc -des-ecb -K 133457799bbcdff1 -in big.bin -out big.ecb.openssl
  same_files "des ecb against openssl" big.ecb big.ecb.openssl

  # A CBC-MAC from zero is the last block of the CBC encryption with a zero IV.
  export MAC_KEY=133457799bbcdff1
  tk 0 "des mac" mac --cipher des --key-env MAC_KEY -i big.bin
  local expected
  expected=$(openssl_enc -des-cbc -K "$MAC_KEY" -iv 0000000000000000 -in big.bin | tail -c 8 | od -An -tx1 | tr -d ' \n')
  stdout_has "des mac against openssl" "$expected"

  head -c 200000 /dev/urandom >mid.bin
  local key=00112233445566778899aabbccddeeff iv=0f0e0d0c0b0a09080706050403020100
  tk 0 "ssf33 encrypt" encrypt --cipher ssf33 --key-hex $key --iv $iv -i mid.bin -o mid.ssf
  tk 0 "ssf33 decrypt" decrypt --cipher ssf33 --key-hex $key --iv $iv -i mid.ssf -o mid.back
  same_files "ssf33 round trip" mid.bin mid.back
  [ "$(wc -c <mid.ssf)" -eq 200016 ] || fail "ssf33 ciphertext is not padded to whole blocks"
  tk 0 "ssf33 mac" mac --cipher ssf33 --key-hex $key -i mid.bin --length 16
  [ "$(tr -d '\n' <"$OUT" | wc -c)" -eq 32 ] || fail "ssf33 mac is not 16 bytes"

  head -c 1001 big.des >truncated.des
  echo 133457799bbcdff1 >des.key
  tk 1 "decrypt of a truncated ciphertext" decrypt --cipher des --key-file des.key --iv 0001020304050607 -i truncated.des -o truncated.out
  [ ! -e truncated.out ] || fail "a failed decryption left its output file"
}

trace_and_power_cycle() {
  tk 0 "traced login" --trace login --pin-env USER_PIN
  stderr_has "trace" "00 20 11 00"
  if grep -q "$(printf '%s' "$USER_PIN" | od -An -tx1 | tr -s ' ' | sed 's/^ //;s/ $//')" "$ERR"; then
    fail "the trace shows the PIN"
  fi
  tk 0 "emu power-cycle" emu power-cycle
  tk 0 "info after the power cycle" info
  stdout_has "info after power cycle" "user PIN: *not logged in"
  expect 1 "power-cycle of a missing image" -- "$TKP30" emu power-cycle "$WORK/missing.img"
}

# The PKCS #11 module's directory as `info` reads it: absent, a valid copy,
# and a copy of a newer format (the module then keeps the token read-only).
module_directory() {
  tk 0 "info without the module's directory" info
  stdout_has "info without the module's directory" "directory absent"
  local copy newer
  copy=$(python3 -c 'import hashlib, struct
payload = b"objects"
head = b"TKPM" + bytes([1, 2]) + struct.pack(">HI", len(payload), 7)
print((head + hashlib.sha256(head + payload).digest()[:8] + payload).hex())')
  newer=544b504d0202000700000007
  tk 0 "a directory file" file create --type 3 --index 388 --size 64 --read free --write user
  tk 0 "a directory copy written" file write --type 3 --index 388 --hex "$copy"
  tk 0 "info with the module's directory" info
  stdout_has "info with the module's directory" "directory readable"
  tk 0 "a copy of a newer format written" file write --type 3 --index 388 --hex "$newer"
  tk 0 "info with a newer directory" info
  stdout_has "info with a newer directory" "directory unreadable"
  stdout_has "info with a newer directory" "keeps the token read-only"
  tk 0 "info --json with a newer directory" info --json
  stdout_has "info --json with a newer directory" '"pkcs11_directory": "unreadable"'
  tk 0 "the directory file deleted" file delete --yes --type 3 --index 388
}

demo() {
  expect 0 "demo" -- "$TKP30" demo
  stdout_has "demo" "all 11 steps did what they should"
}

usage_errors
no_silent_fallback
messages
format_and_info
pin_flows
file_round_trips
module_directory
keys_and_signatures
ciphers
trace_and_power_cycle
demo

finish

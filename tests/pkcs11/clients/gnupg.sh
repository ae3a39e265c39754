#!/usr/bin/env bash
# GnuPG through gnupg-pkcs11-scd: the token as gpg-agent's smart card, an
# OpenPGP key made on the token's key pair (by its keygrip), a detached
# signature that verifies, and a message encrypted to it that decrypts.
# The PIN comes from a scripted pinentry.
#   gnupg.sh <module> <work dir>
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
needs gpg gpg-agent gpg-connect-agent gpgconf gnupg-pkcs11-scd
make_token || { echo "FAIL: setting up the token"; exit 1; }

# The agent's socket path must stay short: a home outside the work dir.
GNUPGHOME=$(mktemp -d /tmp/tkp30-gpg.XXXXXX)
export GNUPGHOME
trap 'gpgconf --kill all; rm -rf "$GNUPGHOME"' EXIT

cat >pinentry.sh <<PIN
#!/bin/sh
echo "OK ready"
while read -r cmd rest; do
  case "\$cmd" in
    GETPIN) echo asked >>"$WORK/pin-asked"; echo "D $USER_PIN"; echo OK ;;
    BYE) echo OK; exit 0 ;;
    *) echo OK ;;
  esac
done
PIN
chmod +x pinentry.sh
cat >"$GNUPGHOME/gpg-agent.conf" <<CONF
scdaemon-program $(command -v gnupg-pkcs11-scd)
pinentry-program $WORK/pinentry.sh
CONF
cat >"$GNUPGHOME/gnupg-pkcs11-scd.conf" <<CONF
providers tkp30
provider-tkp30-library $MODULE
log-file $WORK/scd.log
verbose
CONF
gpgq() { timeout "$LIMIT" gpg --batch "$@"; }

expect 0 "gpg --card-status" -- gpgq --card-status
expect 0 "SCD LEARN" -- timeout "$LIMIT" gpg-connect-agent "SCD LEARN" /bye
has "SCD LEARN" "$OUT" "KEY-FRIEDNLY .* /CN=client/emailAddress=client@example.org on client test"
grip=$(awk '/KEY-FRIEDNLY/ { print $3; exit }' "$OUT")

cat >key.batch <<BATCH
Key-Type: RSA
Key-Grip: $grip
Key-Usage: sign
Subkey-Type: RSA
Subkey-Grip: $grip
Subkey-Usage: encrypt
Name-Real: Client
Name-Email: client@example.org
Expire-Date: 0
%no-protection
%commit
BATCH
expect 0 "a key on the token's keygrip" -- gpgq --generate-key key.batch
expect 0 "the key lives on the card" -- gpgq --list-secret-keys client@example.org
has "the key lives on the card" "$OUT" "Card serial no"

echo "signed and sealed by the token" >msg.txt
expect 0 "gpg --detach-sign" -- gpgq --local-user client@example.org --detach-sign --armor \
  -o msg.asc msg.txt
[ -s "$WORK/pin-asked" ] || fail "the PIN was never asked for"
expect 0 "gpg --verify" -- gpgq --verify msg.asc msg.txt
has "gpg --verify" "$ERR" "Good signature from \"Client <client@example.org>\""
echo "tampered" >>msg.txt
expect 1 "a changed message fails" -- gpgq --verify msg.asc msg.txt

expect 0 "gpg --encrypt" -- gpgq --trust-model always -r client@example.org -e -o msg.gpg msg.txt
expect 0 "gpg --decrypt" -- gpgq -d -o back.txt msg.gpg
expect 0 "the message comes back" -- cmp back.txt msg.txt
has "decrypted on the token" scd.log "PKDECRYPT"
finish

#!/usr/bin/env bash
# p11-kit: the module registered by a module file (in a configuration of
# this test's own, never the machine's), then seen with no setting by
# p11-kit list-modules, p11tool and OpenSSH through p11-kit's proxy; and the
# token from another process through p11-kit's remoting (p11-kit server,
# p11-kit-client.so).
#   p11kit.sh <module> <work dir>
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
needs p11-kit p11tool ssh-keygen unshare
PROXY=$(ls /usr/lib/*/p11-kit-proxy.so | head -1)
CLIENT=$(ls /usr/lib/*/pkcs11/p11-kit-client.so | head -1)
[ -n "$PROXY" ] && [ -n "$CLIENT" ] || { echo "FAIL: p11-kit's proxy or client is missing"; exit 1; }
make_token || { echo "FAIL: setting up the token"; exit 1; }

# The module file, in a configuration of this test's own. p11-kit merges a
# user's own folder with the system's, but not for root: as root (as in
# CI) the test gives its commands a private mount of the system's module
# folder with the file added, which the machine never sees.
MODULES=$WORK/modules
mkdir -p "$MODULES" "$WORK/run"
chmod 700 "$WORK/run"
export XDG_RUNTIME_DIR=$WORK/run
SYSTEM_MODULES=/usr/share/p11-kit/modules
if [ "$(id -u)" -eq 0 ]; then
  cp "$SYSTEM_MODULES"/*.module "$MODULES"/ 2>/dev/null
  kit() {
    timeout "$LIMIT" unshare --mount --propagation private sh -c \
      'mount --bind "$0" "$1" && shift && exec "$@"' "$MODULES" "$SYSTEM_MODULES" "$@"
  }
else
  export XDG_CONFIG_HOME=$WORK/config
  mkdir -p "$XDG_CONFIG_HOME/pkcs11"
  ln -s "$MODULES" "$XDG_CONFIG_HOME/pkcs11/modules"
  kit() { timeout "$LIMIT" "$@"; }
fi
printf 'module: %s\n' "$MODULE" >"$MODULES/tkp30.module"

expect 0 "p11-kit list-modules" -- kit p11-kit list-modules
has "p11-kit list-modules" "$OUT" "tkp30"
has "p11-kit list-modules" "$OUT" "$TOKEN_LABEL"
if ! hangs_when_preloaded "p11tool --list-tokens"; then
  expect 0 "p11tool --list-tokens" -- kit p11tool --list-tokens
  has "p11tool --list-tokens" "$OUT" "token=client%20test"
fi
expect 0 "ssh-keygen -D the proxy" -- kit ssh-keygen -D "$PROXY"
has "ssh-keygen -D the proxy" "$OUT" "client key"

# Remoting: the server holds the module, the client library reaches it.
if server_env=$(kit p11-kit server --provider "$MODULE" "pkcs11:token=client%20test"); then
  eval "$server_env"
  trap 'kill "$P11_KIT_SERVER_PID" 2>/dev/null' EXIT
  if ! hangs_when_preloaded "p11tool through p11-kit-client.so"; then
    expect 0 "p11tool through p11-kit-client.so" -- env GNUTLS_PIN="$USER_PIN" \
      timeout "$LIMIT" p11tool --provider "$CLIENT" --login \
      --test-sign "pkcs11:object=client%20key;type=private"
    has "p11tool through p11-kit-client.so" "$ERR" "Verifying against public key in the token... ok"
  fi
  echo "signed remotely" >remote.txt
  expect 0 "pkcs11-tool --sign through p11-kit-client.so" -- timeout "$LIMIT" pkcs11-tool \
    --module "$CLIENT" --login --pin "$USER_PIN" --sign --id 01 -m SHA256-RSA-PKCS \
    -i remote.txt -o remote.sig
  expect 0 "the remote signature verifies" -- openssl dgst -sha256 -verify pub.pem \
    -signature remote.sig remote.txt
  kill "$P11_KIT_SERVER_PID" 2>/dev/null
else
  fail "p11-kit server did not start"
fi
finish

#!/usr/bin/env bash
# The Debian packages as a user gets them: built from a clean copy of the
# tree by scripts/package.sh, installed with apt-get, and used with no
# setting at all: the tool from /usr/bin, pkg-config and a CMake project
# against the installed library, and p11-kit's proxy, GnuTLS's p11tool and
# OpenSSH finding the token through the module's p11-kit registration.
# The packages are purged again, a failed check included.
#   package_test.sh [scratch folder]   (root only: it installs packages)
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../support/expect.sh"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: the package test installs and removes packages, which needs root"
  exit 0
fi
SCRATCH=$(realpath -m "${1:-$ROOT/build-package}")
rm -rf "$SCRATCH/work"
mkdir -p "$SCRATCH/work"
OUT=$SCRATCH/work/out.txt
ERR=$SCRATCH/work/err.txt
touch "$OUT" "$ERR"
unset TKP30_SLOTS TKP30_TRACE PKG_CONFIG_PATH CMAKE_PREFIX_PATH LD_LIBRARY_PATH
export LC_ALL=C.UTF-8
APT=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -y -qq)

has() { grep -q -- "$3" "$2" || fail "$1: lacks '$3'"; }

# Debian wants no RPATH in packaged files (lintian lets $ORIGIN pass):
# every library lies in the standard library folder, where the loader
# finds it.
no_search_paths() {
  local f
  while read -r f; do
    if [ -L "$f" ] || ! readelf -h "$f" >/dev/null 2>&1; then continue; fi
    if readelf -d "$f" | grep -qE '\((RPATH|RUNPATH)\)'; then
      fail "$f carries a library search path: $(readelf -d "$f" | grep -E 'RPATH|RUNPATH')"
    fi
  done <"$SCRATCH/work/files.txt"
}

# The tool from /usr/bin: an emulated token with one key pair, its public
# key kept to compare with what the PKCS #11 clients list.
tool_and_token() {
  local tkp30=(timeout 60 /usr/bin/tkp30 --emulator "$PWD/token.img") slot
  expect 0 "tkp30 --version" -- timeout 20 /usr/bin/tkp30 --version
  has "tkp30 --version" "$OUT" "^tkp30 $VERSION"
  export SUPER_PIN=11223344 USER_PIN=123456
  expect 0 "tkp30 format" -- "${tkp30[@]}" format --yes --super-pin-env SUPER_PIN --user-pin-env USER_PIN
  expect 0 "tkp30 login" -- "${tkp30[@]}" login --pin-env USER_PIN
  expect 0 "tkp30 keygen" -- "${tkp30[@]}" keygen
  slot=$(sed -n 's/.*key pair in slot \([0-3]\).*/\1/p' "$OUT")
  expect 0 "tkp30 pubkey --ssh" -- "${tkp30[@]}" pubkey --key "${slot:-0}" --ssh
  KEY_BLOB=$(awk '{print $2}' "$OUT")
  [ -n "$KEY_BLOB" ] || fail "tkp30 pubkey --ssh gave no key"
}

# examples/minimal.c built against the installed library through
# pkg-config and through the CMake package, with no path given to either.
library_users() {
  expect 0 "pkg-config --libs" -- timeout 20 pkg-config --libs norv_dal_tkp30
  has "pkg-config --libs" "$OUT" "-lnorv_dal_tkp30"
  # shellcheck disable=SC2046
  expect 0 "cc through pkg-config" -- timeout 120 cc "$ROOT/examples/minimal.c" \
    $(pkg-config --cflags --libs norv_dal_tkp30) -o minimal_pc
  mkdir -p consumer
  cat >consumer/CMakeLists.txt <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(consumer C)
find_package(norv_dal_tkp30 $VERSION CONFIG REQUIRED)
add_executable(minimal "$ROOT/examples/minimal.c")
target_link_libraries(minimal PRIVATE norv_dal_tkp30::norv_dal_tkp30)
CMAKE
  expect 0 "CMake consumer configures" -- timeout 120 cmake -S consumer -B consumer/build
  expect 0 "CMake consumer builds" -- timeout 120 cmake --build consumer/build
  for program in ./minimal_pc consumer/build/minimal; do
    expect 0 "$program" -- env TKP30_SLOTS="emu:$PWD/token.img" timeout 30 "$program"
    has "$program" "$OUT" '^random:\( [0-9a-f][0-9a-f]\)\{16\}$'
  done
}

# p11-kit, its proxy and the programs that use it, with no module named.
p11kit_users() {
  local proxy
  proxy=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/p11-kit-proxy.so
  expect 0 "p11-kit list-modules" -- timeout 60 p11-kit list-modules
  has "p11-kit list-modules" "$OUT" '^tkp30: .*libtkp30-pkcs11\.so$'
  expect 0 "p11tool --list-tokens" -- env TKP30_SLOTS="emu:$PWD/token.img" timeout 60 p11tool --list-tokens
  has "p11tool --list-tokens" "$OUT" 'URL: pkcs11:model=TKP30;'
  expect 0 "p11tool --list-tokens, no slot configured" -- timeout 60 p11tool --list-tokens
  ! grep -q 'model=TKP30;' "$OUT" || fail "p11tool lists a TKP30 token where TKP30_SLOTS names none"
  expect 0 "ssh-keygen -D p11-kit-proxy.so" -- env TKP30_SLOTS="emu:$PWD/token.img" \
    timeout 60 ssh-keygen -D "$proxy"
  has "ssh-keygen -D p11-kit-proxy.so" "$OUT" "^ssh-rsa $KEY_BLOB"
}

# The clients the checks use (the build's own needs are package.sh's).
missing=()
for p in p11-kit p11-kit-modules gnutls-bin openssh-client; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if ! { apt-get update -qq && "${APT[@]}" install --no-install-recommends "${missing[@]}"; }; then
    echo "FAIL: cannot install ${missing[*]}"
    exit 1
  fi
fi
"$ROOT/scripts/package.sh" "$SCRATCH" || { echo "FAIL: the packages did not build cleanly"; exit 1; }

mapfile -t DEBS < <(find "$SCRATCH" -maxdepth 1 -name '*.deb' ! -name '*-dbgsym_*' | sort)
PACKAGES=()
for deb in "${DEBS[@]}"; do PACKAGES+=("$(dpkg-deb -f "$deb" Package)"); done
VERSION=$(dpkg-deb -f "${DEBS[0]}" Version)
[ "${#PACKAGES[@]}" -eq 4 ] || { echo "FAIL: wanted 4 packages, built: ${PACKAGES[*]}"; exit 1; }
installed() { dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null | grep -q '^.[^n]'; }
for p in "${PACKAGES[@]}"; do
  if installed "$p"; then
    echo "FAIL: $p is installed already; the test would remove it (apt-get purge it first)"
    exit 1
  fi
done

# What apt-get installs goes again: the packages, and any dependency
# they pulled in.
installed_list() {
  dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' | awk '$1 ~ /^.i/ {print $2}' | sort
}
installed_list >"$SCRATCH/work/before.txt"
PULLED=()
purge() { "${APT[@]}" purge "${PACKAGES[@]}" "${PULLED[@]}" >"$SCRATCH/work/purge.log" 2>&1; }
trap purge EXIT
"${APT[@]}" install "${DEBS[@]}" >"$SCRATCH/work/install.log" 2>&1
status=$?
mapfile -t PULLED < <(installed_list | comm -13 "$SCRATCH/work/before.txt" -)
[ "$status" -eq 0 ] || { echo "FAIL: apt-get install: $(tail -n 20 "$SCRATCH/work/install.log")"; exit 1; }
# Every file the packages brought, to be sure the purge takes them all.
for p in "${PACKAGES[@]}"; do dpkg -L "$p"; done | while read -r f; do
  [ -d "$f" ] || echo "$f"
done >"$SCRATCH/work/files.txt"

cd "$SCRATCH/work" || exit 1
no_search_paths
tool_and_token
library_users
p11kit_users

purge || fail "apt-get purge: $(tail -n 20 "$SCRATCH/work/purge.log")"
trap - EXIT
for p in "${PACKAGES[@]}"; do
  ! installed "$p" || fail "$p is still known to dpkg after the purge"
done
while read -r f; do
  if [ -e "$f" ] || [ -L "$f" ]; then fail "$f is left after the purge"; fi
done <"$SCRATCH/work/files.txt"

if ((FAILURES > 0)); then
  echo "$FAILURES check(s) failed"
  exit 1
fi
echo "the packages install, work with no setting, and purge without a trace"

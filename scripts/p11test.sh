#!/usr/bin/env bash
# OpenSC's p11test, the standard's test suite for a module, built from
# Debian's opensc source once per version and kept outside the clone, in
# ${XDG_CACHE_HOME:-~/.cache}/tkp30/p11test-<version>/. Prints the
# program's path.
#   p11test.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/tkp30"
SUDO=""
[[ $(id -u) -eq 0 ]] || SUDO="sudo"
. "$root/scripts/debian_sources.sh"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

install_packages() {
  local update=0 missing=() p
  add_source_entries || update=1
  for p in dpkg-dev autoconf automake libtool pkg-config make gcc libcmocka-dev libssl-dev \
           libpcsclite-dev zlib1g-dev libreadline-dev; do
    installed "$p" || missing+=("$p")
  done
  ((${#missing[@]})) && update=1
  ((update)) && $SUDO apt-get update -qq >&2
  if ((${#missing[@]})); then
    echo "p11test: installing ${missing[*]}" >&2
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >&2
  fi
  return 0
}

build() {
  local work=$1 version=$2 out=$3
  echo "p11test: building OpenSC $version's p11test" >&2
  (
    exec >"$work/build.log" 2>&1
    cd "$work"/opensc-*/
    # OpenSC 0.23's interface test holds any module with two interfaces to
    # OpenSC's own 2.20 list; later OpenSC asks for the second interface's
    # own 2.x version instead, which a 2.40 module's list passes.
    sed -i -e '/pFunctionList)->minor, 20);/d' \
      -e 's/version\.minor = 20;/version.minor = ((CK_VERSION *)interfaces[1].pFunctionList)->minor;/' \
      src/tests/p11test/p11test_case_interface.c
    grep -q 'interfaces\[1\].pFunctionList)->minor;' src/tests/p11test/p11test_case_interface.c
    ./bootstrap
    ./configure --enable-cmocka --disable-doc --disable-notify --disable-man
    make -j "$(nproc)" -C src/tests/p11test
    mkdir -p "$out.partial"
    cp src/tests/p11test/p11test "$out.partial/"
  ) || { tail -n 30 "$work/build.log" >&2; return 1; }
  rm -rf "$out"
  mv "$out.partial" "$out"
}

install_packages
mapfile -t versions < <(listed_source_versions opensc)
((${#versions[@]})) || { echo "p11test: no opensc source version listed" >&2; exit 1; }
for v in "${versions[@]}"; do
  [[ -x $cache/p11test-$v/p11test ]] && { echo "$cache/p11test-$v/p11test"; exit 0; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
version=$(fetch_source opensc "$work" "${versions[@]}") ||
  { echo "p11test: apt-get source opensc failed for ${versions[*]}" >&2; exit 1; }
build "$work" "$version" "$cache/p11test-$version"
echo "$cache/p11test-$version/p11test"

#!/usr/bin/env bash
# The library for 32-bit Windows: installs what is missing (Debian),
# builds a static libcrypto for i686 mingw from Debian's OpenSSL source
# (once per OpenSSL version, cached outside the clone), cross-builds the
# DLLs, the PKCS #11 module, the tool and the test programs, packs the
# installer with NSIS, and runs the tests under Wine.
#
#   windows.sh [build dir]          default: build-win32 in the clone
#
# The DLL lands in <build dir>/bin/norv_dal_tkp30.dll beside dmcos.dll,
# tkp30-pkcs11.dll and tkp30.exe; the import library is
# <build dir>/lib/libnorv_dal_tkp30.dll.a; the installer is
# <build dir>/tkp30-<version>-win32-setup.exe.
#
# A machine whose kernel runs no 32-bit programs cannot run the 32-bit
# build under Wine: there the same sources are built for 64-bit Windows
# too, in <build dir>-x64, and that build's tests (its own installer's
# included) run under 64-bit Wine. The output says which ran.
# Exits non-zero when any step or test fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(realpath -m "${1:-$root/build-win32}")"  # Wine wants an absolute prefix
cache="${XDG_CACHE_HOME:-$HOME/.cache}/tkp30"

step() { printf '\n==== windows: %s (at %ds) ====\n' "$*" "$SECONDS"; }
SUDO=""
[[ $(id -u) -eq 0 ]] || SUDO="sudo"

. "$root/scripts/debian_sources.sh"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

install_packages() {
  local update=0 missing=()
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    update=1
  fi
  add_source_entries || update=1
  for p in g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
           g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
           wine wine32:i386 wine64 dpkg-dev googletest libcli11-dev libp11-kit-dev cmake \
           ninja-build libssl-dev nsis p7zip-full; do
    installed "$p" || missing+=("$p")
  done
  ((${#missing[@]})) && update=1
  ((update)) && $SUDO apt-get update -qq
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
  return 0
}

step "packages"
install_packages

# The OpenSSL source to build: the version the system's libcrypto comes
# from, else the newest the archive offers.
openssl_candidates() {
  dpkg-query -W -f='${source:Version}\n' libssl-dev 2>/dev/null || true
  listed_source_versions openssl
}

# Only what the library, the emulator and the tool use: RSA, DES, RC2,
# RC4, SM4, SHA-2, PEM; everything else that can go, goes.
readonly OPENSSL_OPTIONS=(
  no-shared no-tests no-module no-asm no-engine no-dso no-comp no-async no-sock no-dgram
  no-ct no-ocsp no-ts no-cms no-srp no-psk no-ec no-dh no-dsa no-aria no-bf no-blake2
  no-camellia no-cast no-idea no-md4 no-mdc2 no-rc5 no-rmd160 no-seed no-siphash no-siv
  no-sm2 no-sm3 no-whirlpool no-scrypt no-ocb no-chacha no-poly1305 no-ui-console
)

# Prints the directory of a static libcrypto for mingw on `arch` (i686 or
# x86_64), building it from Debian's source when the cache has none of the
# candidate versions.
openssl_for_mingw() {
  local arch=$1 v work out target=mingw
  [[ $arch == x86_64 ]] && target=mingw64
  mapfile -t versions < <(openssl_candidates | awk 'NF && !seen[$0]++')
  ((${#versions[@]})) || { echo "windows: no OpenSSL source version known" >&2; return 1; }
  for v in "${versions[@]}"; do
    out="$cache/openssl-$v-$arch-mingw"
    [[ -f $out/lib/libcrypto.a ]] && { echo "$out"; return 0; }
  done
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' RETURN
  v=$(fetch_source openssl "$work" "${versions[@]}") ||
    { echo "windows: apt-get source openssl failed for ${versions[*]}" >&2; return 1; }
  out="$cache/openssl-$v-$arch-mingw"
  echo "windows: building libcrypto $v for $arch mingw" >&2
  if ! (
    exec >"$work/build.log" 2>&1
    cd "$work"/openssl-*/
    ./Configure "$target" --cross-compile-prefix="$arch"-w64-mingw32- "${OPENSSL_OPTIONS[@]}"
    make -j "$(nproc)" build_generated
    make -j "$(nproc)" libcrypto.a
    rm -rf "$out.partial"
    mkdir -p "$out.partial/lib" "$out.partial/include"
    cp libcrypto.a "$out.partial/lib/"
    cp -r include/openssl "$out.partial/include/"
  ); then
    tail -n 30 "$work/build.log" >&2
    return 1
  fi
  rm -rf "$out"
  mv "$out.partial" "$out"
  echo "$out"
}

# Cross-builds for `arch` (i686 or x86_64) into `build`.
cross_build() {
  local arch=$1 build=$2 openssl
  step "libcrypto for $arch mingw"
  openssl="$(openssl_for_mingw "$arch")"
  echo "using $openssl"
  step "cross-build for $arch into $build"
  # -O2, the usual level of a release DLL, rather than CMake's -O3: a
  # quarter less compile time on a cold machine.
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-mingw.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DNORV_WERROR="${NORV_WERROR:-OFF}" -DNORV_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DOPENSSL_USE_STATIC_LIBS=TRUE -DOPENSSL_INCLUDE_DIR="$openssl/include" \
    -DLIB_EAY="$openssl/lib/libcrypto.a" >/dev/null
  cmake --build "$build" -j "$(nproc)"
}

# Packs the build's files into <build>/tkp30-<version>-<win32|win64>-setup.exe.
build_installer() {
  local build=$1 target=$2 bits=$3 version
  version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
  step "installer for Windows $bits-bit"
  makensis -V2 -INPUTCHARSET UTF8 -DTARGET="$target" -DVERSION="$version" -DBUILD="$build" \
    -DSOURCE="$root" -DOUTFILE="$build/tkp30-$version-win$bits-setup.exe" \
    "$root/installer/tkp30.nsi"
  ls -l "$build/tkp30-$version-win$bits-setup.exe"
}

# Runs every test of `build` under the Wine program `wine`: `wine`, the
# wrapper that picks 32-bit Wine, or /usr/lib/wine/wine64, which then
# starts the prefix's processes itself.
wine_tests() {
  local wine=$1 build=$2
  # A Wine prefix of the build's own, so that c:\dal and the named objects
  # are the tests' alone; no Mono or Gecko is needed.
  export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  [[ $(basename "$wine") != wine64 ]] || export WINELOADER="$wine"
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    "$wine" wineboot -i >/dev/null 2>&1
    wineserver -w  # the server wineboot started ends a few seconds after it
  fi
  # One Wine server for the whole run (it ends by itself 30 s after the last
  # program), so that each test program starts in a fraction of a second. One
  # may run already, left by an earlier run.
  wineserver -p30 2>/dev/null || true
  (cd "$build" && ctest -j "$(nproc)" --output-on-failure --timeout 600)
}

cross_build i686 "$dir"
build_installer "$dir" x86-unicode 32

# The Windows binaries are 32-bit, and so is the Wine that runs them: a
# machine whose kernel runs no 32-bit programs (some virtual machines) can
# build them and check their files, not run them. There the same sources
# are built and tested as 64-bit Windows programs instead. Said plainly,
# not hidden.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  step "tests under 32-bit Wine"
  wine_tests wine "$dir"
  echo "windows: the 32-bit build's tests ran under 32-bit Wine"
  echo "windows: done in ${SECONDS}s"
  exit 0
fi

step "checks of the 32-bit files (this machine runs no 32-bit programs, so not Wine)"
(cd "$dir" && ctest -L native --output-on-failure --timeout 600)
echo "windows: SKIPPED the 32-bit build's tests under Wine, its installer's included:"
echo "windows: the kernel refuses 32-bit programs here; the 64-bit build's run instead"

dir64="$dir-x64"
cross_build x86_64 "$dir64"
build_installer "$dir64" amd64-unicode 64
step "tests of the 64-bit build under 64-bit Wine"
wine_tests /usr/lib/wine/wine64 "$dir64"
echo "windows: the 64-bit build's tests ran under 64-bit Wine; the 32-bit build's were checked, not run"
echo "windows: done in ${SECONDS}s"

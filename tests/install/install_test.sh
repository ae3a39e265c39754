#!/usr/bin/env bash
# Installs into a temporary prefix, moves the installed tree (it must not
# care where it lies), and uses it as another project would:
# examples/minimal.c built once through pkg-config and once through a tiny
# CMake project, both run on an emulated token that the installed tkp30
# formats; its manual page and completion are in place.
#   install_test.sh <build dir> <source dir> <work dir> <C compiler>
set -u
BUILD=$1
SOURCE=$2
WORK=$3
CC=$4
rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK" || exit 1
unset TKP30_SLOTS TKP30_TRACE PKG_CONFIG_PATH CMAKE_PREFIX_PATH LD_LIBRARY_PATH
FAILURES=0
fail() {
  echo "FAIL: $*"
  FAILURES=$((FAILURES + 1))
}

cmake --install "$BUILD" --prefix "$WORK/staged" >install.log || { cat install.log; exit 1; }
mv staged prefix
PREFIX=$WORK/prefix

pc=$(find "$PREFIX" -name norv_dal_tkp30.pc)
[ -n "$pc" ] || { echo "FAIL: no norv_dal_tkp30.pc installed"; exit 1; }
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$pc")
# shellcheck disable=SC2046
"$CC" "$SOURCE/examples/minimal.c" $(pkg-config --cflags --libs norv_dal_tkp30) \
  -Wl,-rpath,"$(pkg-config --variable=libdir norv_dal_tkp30)" -o minimal_pc 2>cc.log ||
  fail "minimal.c does not build through pkg-config: $(head -c 400 cc.log)"

mkdir consumer
cat >consumer/CMakeLists.txt <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(consumer C)
find_package(norv_dal_tkp30 1.0 CONFIG REQUIRED)
add_executable(minimal "$SOURCE/examples/minimal.c")
target_link_libraries(minimal PRIVATE norv_dal_tkp30::norv_dal_tkp30)
CMAKE
{ CC=$CC cmake -S consumer -B consumer/build -DCMAKE_PREFIX_PATH="$PREFIX" &&
  cmake --build consumer/build; } >consumer.log 2>&1 ||
  fail "minimal.c does not build through the CMake package: $(tail -c 600 consumer.log)"

"$PREFIX/bin/tkp30" --version >version.txt 2>&1 || fail "the installed tkp30 does not run: $(cat version.txt)"
grep -q '^tkp30 [0-9]' version.txt || fail "tkp30 --version: $(cat version.txt)"
SUPER_PIN=11223344 USER_PIN=123456 "$PREFIX/bin/tkp30" --emulator "$WORK/token.img" \
  format --yes --super-pin-env SUPER_PIN --user-pin-env USER_PIN >/dev/null || fail "installed tkp30 format"
for program in ./minimal_pc consumer/build/minimal; do
  TKP30_SLOTS="emu:$WORK/token.img" "$program" >run.txt 2>&1 || fail "$program: $(cat run.txt)"
  grep -q '^random:\( [0-9a-f][0-9a-f]\)\{16\}$' run.txt || fail "$program printed $(cat run.txt)"
done
[ -f "$PREFIX/share/man/man1/tkp30.1" ] || fail "no manual page installed"
[ -f "$PREFIX/share/bash-completion/completions/tkp30" ] || fail "no bash completion installed"

if [ "$FAILURES" -ne 0 ]; then
  echo "$FAILURES check(s) failed"
  exit 1
fi
echo "the installed tree works from where it was moved"

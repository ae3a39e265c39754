#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite:
#   0. OpenSC's p11test for the PKCS #11 client tests, once per version,
#   1. the Release build (g++) that the demo uses too, and every CTest test,
#      then the Debian packages: built, installed, used, purged (root only),
#   2. an AddressSanitizer + UndefinedBehaviorSanitizer build (clang) and
#      every CTest test again,
#   3. the 32-bit Windows build (mingw-w64) and its tests under Wine,
#   4. the PC/SC suite through pcscd and the virtual card,
#   5. the fuzz targets for a bounded time,
#   6. a coverage build (gcovr summary of every folder; src/ and pkcs11/
#      held to 90 % of lines),
#   7. clang-format, clang-tidy and cppcheck.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
"$root/scripts/deps.sh"

step() { printf '\n==== %s ====\n' "$*"; }

step "OpenSC's p11test (built once per version, cached outside the clone)"
P11TEST="$("$root/scripts/p11test.sh")"
export P11TEST

step "normal build"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release
(cd "$root/build" && ctest -j "$jobs" --output-on-failure --timeout 600)

step "Debian packages"
"$root/tests/package/package_test.sh" "$root/build-package"

step "sanitizer build (ASan + UBSan, clang)"
CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-asan" \
  -DCMAKE_BUILD_TYPE=Debug -DNORV_SANITIZE=ON -DNORV_BUILD_BENCH=OFF
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 ctest -j "$jobs" --output-on-failure --timeout 900)

step "Windows build (i686 mingw) under Wine"
"$root/scripts/windows.sh" "$root/build-win32"

if [[ -x "$root/tests/pcsc/run_pcsc_suite.sh" ]]; then
  step "PC/SC suite"
  "$root/tests/pcsc/run_pcsc_suite.sh" "$root/build"
fi

if [[ -x "$root/fuzz/run_fuzz.sh" ]]; then
  step "fuzz smoke run"
  "$root/fuzz/run_fuzz.sh" "$root/build-fuzz"
fi

step "coverage"
"$root/scripts/coverage.sh" "$root/build-cov"

step "static analysis"
"$root/scripts/static_analysis.sh" "$root/build-static"

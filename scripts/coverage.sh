#!/usr/bin/env bash
# Coverage build (g++ --coverage), the whole CTest suite, then gcovr's line
# and branch summary of the library (src/), the device library (dmcos/),
# the emulated token (emulator/), the applications' common part (common/),
# the tool (tools/) and the PKCS #11 module (pkcs11/): coverage.sh [build dir]
# MIN_SRC_LINES and MIN_PKCS11_LINES (default 90 each) are the line
# coverage src/ and pkcs11/ must reach.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build-cov}"
min="${MIN_SRC_LINES:-90}"
min_pkcs11="${MIN_PKCS11_LINES:-90}"

CC=gcc CXX=g++ "$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Debug -DNORV_COVERAGE=ON \
  -DNORV_BUILD_BENCH=OFF
find "$dir" -name '*.gcda' -delete
status=0
(cd "$dir" && ctest -j "$(nproc)" --output-on-failure --timeout 900) || status=$?

# Sources are compiled with their paths relative to the project (see the
# file prefix map), so gcov runs from the project root. Each folder is
# measured from the objects of its own libraries: test objects that
# inline the same headers make gcovr 5 trip over its function merging.
summary() {  # summary <folder> <object dir>...
  local folder="$1"; shift
  (cd "$root" && gcovr --root "$root" --filter "$root/$folder/" --exclude-unreachable-branches \
     --exclude-throw-branches --print-summary "$@" | tail -n 3)
}
objects_src=("$dir/src/CMakeFiles/dal_objects.dir" "$dir/src/CMakeFiles/dal_internal.dir")

# below <summary> <name> <target>: fails the run when the summary's line
# coverage is under the target.
below() {
  local lines
  lines="$(awk '/^lines:/ { sub("%", "", $2); print $2 }' <<<"$1")"
  printf '%s line coverage: %s%% (target %s%%)\n' "$2" "$lines" "$3"
  if awk -v l="$lines" -v m="$3" 'BEGIN { exit !(l + 0 < m + 0) }'; then
    echo "$2 line coverage is below the target" >&2
    status=1
  fi
}

printf '\n==== coverage of src/ ====\n'
src_summary="$(summary src "${objects_src[@]}")"
echo "$src_summary"
for folder in dmcos emulator common tools; do
  printf '\n==== coverage of %s/ ====\n' "$folder"
  summary "$folder" "$dir/$folder"
done
printf '\n==== coverage of pkcs11/ ====\n'
pkcs11_summary="$(summary pkcs11 "$dir/pkcs11")"
echo "$pkcs11_summary"
echo
below "$src_summary" src/ "$min"
below "$pkcs11_summary" pkcs11/ "$min_pkcs11"
exit "$status"

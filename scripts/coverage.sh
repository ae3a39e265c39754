#!/usr/bin/env bash
# Coverage build (g++ --coverage), the whole CTest suite, then gcovr's line
# and branch summary of the library (src/), the device library (dmcos/)
# and the emulated token (emulator/): coverage.sh [build dir]
# MIN_SRC_LINES (default 90) is the line coverage src/ must reach.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build-cov}"
min="${MIN_SRC_LINES:-90}"

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
objects_dmcos=("$dir/dmcos/CMakeFiles")
objects_emulator=("$dir/emulator")

printf '\n==== coverage of src/ ====\n'
src_summary="$(summary src "${objects_src[@]}")"
echo "$src_summary"
printf '\n==== coverage of dmcos/ ====\n'
summary dmcos "${objects_dmcos[@]}"
printf '\n==== coverage of emulator/ ====\n'
summary emulator "${objects_emulator[@]}"

lines="$(awk '/^lines:/ { sub("%", "", $2); print $2 }' <<<"$src_summary")"
printf '\nsrc/ line coverage: %s%% (target %s%%)\n' "$lines" "$min"
if awk -v l="$lines" -v m="$min" 'BEGIN { exit !(l + 0 < m + 0) }'; then
  echo "src/ line coverage is below the target" >&2
  status=1
fi
exit "$status"

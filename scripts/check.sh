#!/usr/bin/env bash
# The daily loop: the Release build (the one in build/ that test.sh and the
# demo use), the quick tests (CTest label "quick": the GoogleTest suites
# and the checks that need no outside client, each done in seconds), and
# clang-format over the production code. scripts/test.sh stays the whole
# suite, the one CI runs.
#   check.sh [build dir]            default: build in the clone
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
jobs="$(nproc)"

step() { printf '\n==== check: %s (at %ds) ====\n' "$*" "$SECONDS"; }
status=0

step "Release build"
"$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Release

step "quick tests"
ctest --test-dir "$dir" -L quick -j "$jobs" --progress --output-on-failure --timeout 300 || status=1

step "clang-format"
folders=(src dmcos emulator common tools pkcs11)
mapfile -t formatted < <(cd "$root" && find "${folders[@]}" \( -name '*.cpp' -o -name '*.h' \) | sort)
if ! (cd "$root" && clang-format-14 --dry-run --Werror "${formatted[@]}"); then
  echo "clang-format: reformat the files above (clang-format-14 -i)" >&2
  status=1
fi

if ((status)); then
  echo "check: failed after ${SECONDS}s" >&2
else
  echo "check: passed in ${SECONDS}s"
fi
exit "$status"

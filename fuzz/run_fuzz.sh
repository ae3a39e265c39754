#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for a
# bounded time from its committed seed corpus: run_fuzz.sh <build dir>.
# FUZZ_SECONDS overrides every target's time.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"
CC=clang CXX=clang++ "$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNORV_FUZZ=ON -DNORV_BUILD_TESTS=OFF -DNORV_BUILD_BENCH=OFF

seconds_for() {  # a target may ask for its own time in fuzz/<name>.seconds
  local f="$root/fuzz/$1.seconds"
  if [[ -n "${FUZZ_SECONDS:-}" ]]; then echo "$FUZZ_SECONDS"
  elif [[ -f "$f" ]]; then cat "$f"
  else echo 60; fi
}

for target in "$dir"/fuzz/*_fuzz; do
  [[ -x "$target" ]] || continue
  name="$(basename "$target")"
  work="$(mktemp -d)"
  trap 'rm -rf "$work" "$work.log"' EXIT
  [[ -d "$root/fuzz/corpus/$name" ]] && cp -r "$root/fuzz/corpus/$name/." "$work/"
  echo "fuzzing $name for $(seconds_for "$name") s"
  log="$work.log"
  if ! (cd "$work" && TKP30_FUZZ_TMP="$work" "$target" -max_total_time="$(seconds_for "$name")" \
          -print_final_stats=1 -timeout=10 -rss_limit_mb=4096 "$work" >"$log" 2>&1); then
    tail -n 80 "$log"
    echo "$name: the fuzzer found a failure" >&2
    exit 1
  fi
  # The run's figures: executions, coverage, corpus.
  grep -E '^#[0-9]+[[:space:]]+DONE|^stat::' "$log" || true
  rm -rf "$work" "$log"
  trap - EXIT
done

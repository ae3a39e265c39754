#!/usr/bin/env bash
# The README's first session, every command block as printed and in
# order, in an empty folder with the built tool first on PATH: the README
# cannot drift from the tool.
#   walkthrough_test.sh <README.md> <folder holding tkp30> <work dir>
set -u
README=$1
TOOL_DIR=$2
WORK=$3
rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK" || exit 1
unset TKP30_SLOTS TKP30_TRACE

awk '
  /^### A first session/ { inside = 1; next }
  inside && /^#/ && !block { exit }
  inside && /^```sh$/ { block = 1; print "# ---- block " ++n; next }
  inside && /^```$/ { block = 0; next }
  block { print }
' "$README" >walkthrough.sh
blocks=$(grep -c '^# ---- block' walkthrough.sh)
if [ "$blocks" -lt 5 ]; then
  echo "FAIL: the walkthrough has $blocks command blocks; its heading or fences moved?"
  exit 1
fi
if ! PATH="$TOOL_DIR:$PATH" bash -euo pipefail -x walkthrough.sh >out.txt 2>trace.txt; then
  echo "FAIL: the README's walkthrough stopped; the end of its trace:"
  tail -n 25 trace.txt
  exit 1
fi
# The C example as the README prints it is examples/minimal.c, which the
# suite builds and runs, from its first line of code on.
awk '/^## The C API/ { inside = 1 } inside && /^```c$/ { block = 1; next }
     block && /^```$/ { exit } block { print }' "$README" >readme_minimal.c
sed -n '/^#define/,$p' "$(dirname "$README")/examples/minimal.c" >example_minimal.c
if ! cmp -s readme_minimal.c example_minimal.c; then
  echo "FAIL: the README's C example differs from examples/minimal.c:"
  diff readme_minimal.c example_minimal.c | head -n 20
  exit 1
fi
echo "the README's walkthrough ran as printed: $blocks blocks; its C example is examples/minimal.c"

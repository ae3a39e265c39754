#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tool's tour on a fresh
# emulated token.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release
exec "$root/build/tools/tkp30" demo

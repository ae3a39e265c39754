#!/usr/bin/env bash
# Configures and builds one flavour: build.sh <build dir> [cmake options…]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
cmake -S "$root" -B "$dir" -G Ninja -DNORV_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"

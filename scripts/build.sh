#!/usr/bin/env bash
# Configures and builds one flavour: build.sh <build dir> [cmake options…]
# Warnings stay warnings unless NORV_WERROR=ON is in the environment (CI's
# own runs set it): a newer or older compiler never stops a user's build.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
cmake -S "$root" -B "$dir" -G Ninja -DNORV_WERROR="${NORV_WERROR:-OFF}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"

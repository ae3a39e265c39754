#!/usr/bin/env bash
# The installer's payload as 7-Zip reads it, without running it: exactly
# the files it should install, each the same bytes as the build's or the
# source's, and a place for the uninstaller it writes.
#   installer_payload_test.sh <installer> <build dir> <source dir>
set -euo pipefail
installer=$1 build=$2 source=$3
[[ -f $installer ]] || { echo "no installer $installer (scripts/windows.sh packs it)"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

declare -A from=(
  [bin/norv_dal_tkp30.dll]="$build/bin/norv_dal_tkp30.dll"
  [bin/dmcos.dll]="$build/bin/dmcos.dll"
  [bin/tkp30-pkcs11.dll]="$build/bin/tkp30-pkcs11.dll"
  [bin/tkp30.exe]="$build/bin/tkp30.exe"
  [include/norv_dal_tkp30.h]="$source/include/norv_dal_tkp30.h"
  [lib/libnorv_dal_tkp30.dll.a]="$build/lib/libnorv_dal_tkp30.dll.a"
  [README.md]="$source/README.md"
)

timeout 120 7z l -slt "$installer" >"$work/listing"
listed="$(sed -n 's/^Path = //p' "$work/listing" | tail -n +2 | sort)"
expected="$(printf '%s\n' "${!from[@]}" uninstall.exe | sort)"
if [[ $listed != "$expected" ]]; then
  echo "FAILED: the installer holds"
  echo "$listed"
  echo "expected"
  echo "$expected"
  exit 1
fi

timeout 120 7z x -y -o"$work/payload" "$installer" >/dev/null
for path in "${!from[@]}"; do
  cmp "$work/payload/$path" "${from[$path]}" || { echo "FAILED: $path differs"; exit 1; }
done
echo "installer payload: ${#from[@]} files as built, and the uninstaller's place"

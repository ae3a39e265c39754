#!/usr/bin/env bash
# Runs Debian's hardening-check on every ELF file of an installed tree and
# fails when it finds a protection missing, or when one of the installed
# programs and libraries is not there to be checked.
#   hardening_check.sh <prefix> <hardening-check> <C++ compiler> <check fortify: 0|1> <archive>...
# The archives are the static libraries the installed files are built
# from: where the system's own start files carry no control-flow marking
# (Debian 12's crti.o, crtn.o), no linked file can, and the archives show
# that the project's code has it.
set -u
PREFIX=$1
CHECK=$2
CXX=$3
FORTIFIED=$4
shift 4
command -v "$CHECK" >/dev/null || {
  echo "FAIL: $CHECK not found (Debian's devscripts; scripts/deps.sh installs it)"
  exit 1
}

elf_files() {
  local f magic
  while IFS= read -r -d '' f; do
    LC_ALL=C IFS= read -r -n 4 magic <"$f" 2>/dev/null
    [[ $magic == $'\x7fELF' ]] && echo "$f"
  done < <(find "$PREFIX" -type f -print0 | sort -z)
}
mapfile -t files < <(elf_files)

FAILURES=0
for name in libnorv_dal_tkp30.so libdmcos.so libtkp30-pkcs11.so tkp30 tkp30-vcard; do
  printf '%s\n' "${files[@]}" | grep -Eq "/${name}(\.[0-9.]+)?$" ||
    { echo "FAIL: no $name among the installed ELF files"; FAILURES=$((FAILURES + 1)); }
done

common=()
if [[ $FORTIFIED != 1 ]]; then
  echo "(no _FORTIFY_SOURCE in this configuration, or none for the printf family: that check is left out)"
  common+=(--nofortify)
fi
crti=$("$CXX" -print-file-name=crti.o)
if ! readelf -n "$crti" 2>/dev/null | grep -q 'x86 feature: IBT, SHSTK'; then
  echo "($crti has no IBT/SHSTK marking, so no linked file can: the archives are checked instead)"
  common+=(--nocfprotection)
  unmarked=$(for a in "$@"; do readelf -n "$a"; done | awk '
    /^File: / { if (f != "" && !marked) print f; f = $2; marked = 0 }
    /x86 feature: IBT, SHSTK/ { marked = 1 }
    END { if (f != "" && !marked) print f }')
  [[ -z $unmarked ]] || { echo "FAIL: built without -fcf-protection:"$'\n'"$unmarked"; FAILURES=$((FAILURES + 1)); }
fi

for f in "${files[@]}"; do
  options=("${common[@]}")
  # Its copies go into the application's own buffers and structures, and
  # into containers, whose extent the compiler cannot see: no call is left
  # that _FORTIFY_SOURCE could check.
  [[ $f == */libtkp30-pkcs11.so ]] && options+=(--nofortify)
  "$CHECK" "${options[@]}" "$f" || FAILURES=$((FAILURES + 1))
done

if [ "$FAILURES" -ne 0 ]; then
  echo "$FAILURES check(s) failed"
  exit 1
fi
echo "${#files[@]} installed ELF files hardened"

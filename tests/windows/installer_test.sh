#!/usr/bin/env bash
# The installer as a Windows user meets it, in a fresh Wine prefix:
# installed silently into a chosen folder (with a space in its name), the
# tool run from there, a program built against the installed header and
# import library run from elsewhere (found through the PATH the installer
# set), the installed PKCS #11 module loaded by its path and used to sign,
# then the uninstaller run silently: every file, the PATH entry and the
# registration gone.
#   installer_test.sh <installer> <wine> <mingw C compiler> <installed_app.c>
#                     <pkcs11_sign_test.exe> <work dir>
set -euo pipefail
installer=$1 wine=$2 cc=$3 appSource=$4 signTest=$5 work=$6
[[ -f $installer ]] || { echo "FAILED: no installer $installer (scripts/windows.sh packs it)"; exit 1; }

rm -rf "$work"
mkdir -p "$work/app"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# 64-bit Wine started by its own path starts its processes the same way.
[[ $(basename "$wine") != wine64 ]] || export WINELOADER="$wine"
unset WINEPATH
fail() { echo "FAILED: $*"; exit 1; }
w() { timeout 300 "$wine" "$@"; }
trap 'wineserver -k 2>/dev/null || true' EXIT

"$wine" wineboot -i >/dev/null 2>&1
wineserver -w

folder='C:\Programs\TKP30 test'
inst="$WINEPREFIX/drive_c/Programs/TKP30 test"
installed=(bin/norv_dal_tkp30.dll bin/dmcos.dll bin/tkp30-pkcs11.dll bin/tkp30.exe
           include/norv_dal_tkp30.h lib/libnorv_dal_tkp30.dll.a README.md uninstall.exe)
uninstallKey='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\TKP30'
userPath() { w reg query 'HKCU\Environment' /v Path 2>/dev/null | tr -d '\r' || true; }

# A user PATH of folders of their own, which the uninstaller gives back
# exactly as it was.
before='C:\Tools;C:\Other Tools'
w reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$before" /f >/dev/null

# As typed in a Windows console: /D= last and unquoted, spaces and all.
# Wine quotes an argument with a space in it, so the words go separately.
# shellcheck disable=SC2086
w "$installer" /S "/D=${folder%% *}" ${folder#* }
wineserver -w
for f in "${installed[@]}"; do
  [[ -f $inst/$f ]] || fail "$f not installed"
done
userPath | grep -qiF "$before;$folder\\bin" || fail "the bin folder is not on the user's PATH: $(userPath)"
w reg query "$uninstallKey" /v UninstallString | tr -d '\r' | grep -qF "$folder\\uninstall.exe" ||
  fail "no uninstaller registered"
echo "installed into $folder"

built="$(basename "$installer" | sed -n 's/^tkp30-\(.*\)-win[0-9]*-setup\.exe$/\1/p')"
version="$(cd "$work/app" && w "$inst/bin/tkp30.exe" --version | tr -d '\r' | head -n 1)"
[[ -n $built && $version == "tkp30 $built" ]] || fail "tkp30.exe --version said: $version"
(cd "$work/app" && w "$inst/bin/tkp30.exe" demo >"$work/demo.txt") ||
  { cat "$work/demo.txt"; fail "tkp30.exe demo"; }
echo "tkp30.exe --version: $version; tkp30.exe demo passed"

"$cc" -std=c99 -Wall -Wextra -Werror -o "$work/app/installed_app.exe" "$appSource" \
  -I"$inst/include" -L"$inst/lib" -lnorv_dal_tkp30
dll="$(cd "$work/app" && w installed_app.exe | tr -d '\r')" || fail "installed_app.exe: $dll"
[[ ${dll,,} == "${folder,,}\\bin\\norv_dal_tkp30.dll" ]] || fail "the program loaded $dll"
echo "a program built against the installed files loaded $dll"

cp "$signTest" "$work/app/"
(cd "$work/app" && w "$(basename "$signTest")" "$folder\\bin\\tkp30-pkcs11.dll" 'C:\token.img') ||
  fail "the installed PKCS #11 module"

w "$inst/uninstall.exe" /S
wineserver -w  # the uninstaller runs from a copy of itself, which ends later
for f in "${installed[@]}"; do
  [[ ! -e $inst/$f ]] || fail "$f left behind"
done
[[ ! -e $inst ]] || fail "the folder left behind: $(ls -R "$inst")"
[[ "$(userPath | sed -n 's/^ *Path *REG_EXPAND_SZ *//p')" == "$before" ]] ||
  fail "the PATH is not as it was: $(userPath)"
! w reg query "$uninstallKey" >/dev/null 2>&1 || fail "the registration left behind"
echo "uninstalled: no file, PATH entry or registration left"

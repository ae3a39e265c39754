#!/usr/bin/env bash
# Builds the Debian packages from a clean copy of the tree (the files git
# tracks, as they are in the working tree) and checks them with lintian:
#   package.sh <output folder>
# Installs what the build needs first (Build-Depends of debian/control,
# and lintian). The .deb files land in the output folder; the copy is
# built in <output folder>/norv-dal-tkp30-<version>, a fixed place so that
# ccache finds its earlier results, and removed once the build succeeds.
# Fails on any lintian error or warning.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[[ $# -eq 1 ]] || { echo "usage: $0 <output folder>" >&2; exit 2; }
git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1 ||
  { echo "package.sh: $root is not a git work tree: the clean copy takes git's tracked files" >&2; exit 1; }
mkdir -p "$1"
out="$(cd "$1" && pwd)"

SUDO=""
[[ $(id -u) -eq 0 ]] || SUDO="sudo"
apt_install() {
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=300 "$@"
}
missing=()
for p in dpkg-dev lintian; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]} == 0)) || apt_install install -y -qq --no-install-recommends "${missing[@]}"

source="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Source)"
version="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
tree="$out/$source-$version"
packages=$(sed -n 's/^Package: *//p' "$root/debian/control")
# Only what an earlier run left: the output folder may hold other files.
rm -rf "$tree"
for p in $packages; do rm -f "$out/${p}_"*.deb "$out/${p}-dbgsym_"*.deb; done
rm -f "$out/${source}_"*.buildinfo "$out/${source}_"*.changes
mkdir -p "$tree"
git -C "$root" ls-files -z | (cd "$root" && tar --null -T - --ignore-failed-read -cf -) | tar -xf - -C "$tree"

if ! (cd "$tree" && dpkg-checkbuilddeps 2>/dev/null); then
  apt_install build-dep -y -qq --no-install-recommends "$tree/"
fi

# debhelper gives the build a HOME of its own: ccache is pointed at the
# user's cache so that package builds share it with every other build.
if command -v ccache >/dev/null; then
  CCACHE_DIR="$(ccache -k cache_dir)"
  export CCACHE_DIR
fi
(cd "$tree" && dpkg-buildpackage -b -us -uc -j"$(nproc)") >"$out/build.log" 2>&1 ||
  { tail -n 15 "$out/build.log"; echo "package.sh: the package build failed (log: $out/build.log)" >&2; exit 1; }
rm -rf "$tree"

cd "$out"
changes=("${source}_${version}"_*.changes)
sed -n '/^Files:/,/^[^ ]/s/^ .* \([^ ]*\.deb\)$/\1/p' "${changes[@]}" | xargs ls -l
# The .changes file names every package the build made, debug symbols
# included. Info tags are shown, not counted.
lintian --display-info --fail-on error,warning "${changes[@]}"
echo "lintian: no errors, no warnings"

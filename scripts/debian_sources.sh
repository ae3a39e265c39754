# Sourced by the scripts that build a third party's code from Debian's
# source packages (windows.sh: OpenSSL; p11test.sh: OpenSC's p11test).
# Needs SUDO set ("" as root, else "sudo").

# Source entries mirroring the system's binary ones, so that
# `apt-get source` finds what the system runs. Returns 1 when it added them
# (apt-get update is then due), 0 when they were there.
add_source_entries() {
  local list=/etc/apt/sources.list.d/tkp30-deb-src.sources
  [[ -e $list || -e /etc/apt/sources.list.d/tkp30-deb-src.list ]] && return 0
  if [[ -e /etc/apt/sources.list.d/debian.sources ]]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $SUDO tee "$list" >/dev/null
  else
    list=/etc/apt/sources.list.d/tkp30-deb-src.list
    sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list | $SUDO tee "$list" >/dev/null
  fi
  return 1
}

# Debian versions, newest first.
newest_first() {
  local sorted=() v i
  for v in "$@"; do
    for ((i = ${#sorted[@]}; i > 0; i--)); do
      dpkg --compare-versions "${sorted[i - 1]}" ge "$v" && break
      sorted[i]=${sorted[i - 1]}
    done
    sorted[i]=$v
  done
  printf '%s\n' "${sorted[@]}"
}

# The versions of a source package the archive lists, newest first. The
# newest listed may be missing from the archive: callers try the next.
listed_source_versions() {
  local listed
  mapfile -t listed < <(apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2}')
  ((${#listed[@]})) && newest_first "${listed[@]}"
  return 0
}

# fetch_source <package> <folder> <version...>: unpacks the first version
# that downloads into <folder>; prints that version.
fetch_source() {
  local package=$1 folder=$2 v
  shift 2
  for v in "$@"; do
    if (cd "$folder" && apt-get source -qq "$package=$v" >&2); then
      echo "$v"
      return 0
    fi
    rm -rf "${folder:?}"/*
  done
  return 1
}

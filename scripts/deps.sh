#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only the
# missing ones, so a prepared machine makes no network calls). The tool's
# tests drive a pseudo-terminal with python3, render the manual page with
# groff and check OpenSSH keys with ssh-keygen; devscripts brings
# hardening-check for the installed files; the PKCS #11 module's tests run
# the client programs people use (OpenSSL's engine, curl, NSS, Java,
# GnuTLS, p11-kit, GnuPG through gnupg-pkcs11-scd, osslsigncode). The Windows cross-build's
# own (mingw-w64, Wine, OpenSSL's source) are installed by
# scripts/windows.sh.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache clang libclang-rt-dev
  libssl-dev openssl libgtest-dev libgmock-dev googletest libbenchmark-dev libcli11-dev
  libpcsclite-dev pcscd vsmartcard-vpcd opensc pcsc-tools
  libp11-kit-dev openssh-client gnutls-bin softhsm2 libengine-pkcs11-openssl curl iproute2
  p11-kit libnss3-tools openjdk-17-jdk-headless gnupg gnupg-pkcs11-scd osslsigncode
  gcovr clang-tidy clang-format-14 cppcheck
  python3 groff-base devscripts
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -eq 0 ]] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

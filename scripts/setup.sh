#!/usr/bin/env bash
# Installs everything that building, running and testing the launcher need on a fresh Debian 12
# or 13 machine, or, given package names, only those (a script that needs a tool or two need not
# pull in Wine). Idempotent: when every package is already there it only checks and returns.
#   usage: setup.sh [PACKAGE...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ $# -gt 0 ]; then
  packages=("$@")
else
  packages=(
    cmake ninja-build g++ git
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    googletest
    wine wine64 fonts-wine
    xvfb x11-apps x11-utils xdotool imagemagick icoutils librsvg2-bin poppler-utils
    osslsigncode openssl
  )
  # 32-bit Wine is only worth installing where the kernel runs 32-bit code.
  if bash "$here/can-run-32bit.sh"; then packages+=(wine32:i386); fi
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: installing these needs root: ${missing[*]}" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT
case " ${missing[*]} " in
  *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
esac
# A mirror in the middle of a sync can fail one index while the lists apt already has still hold
# every package: only a package that cannot be installed stops the setup.
if ! apt-get update -qq >"$log" 2>&1; then
  echo "setup: apt-get update failed for some index ($(grep -m1 -E '^(E|W|Err):' "$log" || tail -n1 "$log")); going on with the package lists apt has"
fi
if ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
  cannot=()
  for p in "${missing[@]}"; do
    apt-get install -s -qq --no-install-recommends "$p" >/dev/null 2>&1 || cannot+=("$p")
  done
  tail -n 5 "$log" >&2
  echo "setup: cannot install ${cannot[*]:-${missing[*]}}" >&2
  exit 1
fi

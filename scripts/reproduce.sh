#!/usr/bin/env bash
# Builds Launcher.exe twice from clean copies of this checkout's sources, in two unlike temporary
# folders, and fails unless both are the same bytes with no folder name inside; prints the sha256.
# Given Launcher.exe files, also fails unless each is those same bytes, or, for a signed file, those
# same bytes once its signature is set aside: the certificate table at the end of the file, the
# security directory entry that points at it and the header checksum (tools/pecheck).
#   usage: reproduce.sh [LAUNCHER.EXE...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
bash "$here/setup.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$here/sources.sh"

build_in() {
  local src=$1 out=$2
  copy_sources "$root" "$src"
  mkdir -p "$(dirname "$out")"
  if ! { cmake -S "$src" -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" \
           -DVALDRENN_BUILD_TESTS=OFF && cmake --build "$out" --target Launcher; } >"$out.log" 2>&1; then
    cat "$out.log" >&2
    return 1
  fi
}

# Source and build folders of different names and lengths, so that any path that reaches the
# binary shows as a difference; one build after the other, so that a time stamp does too.
first=$work/a/src second=$work/second-place/valdrenn-launcher
if ! build_in "$first" "$work/a/b" || ! build_in "$second" "$work/second-place/out/i686"; then
  echo "reproduce: a build failed" >&2
  exit 1
fi

a=$work/a/b/bin/Launcher.exe b=$work/second-place/out/i686/bin/Launcher.exe
if grep -a -q -F -e "$work" -e "$root" "$a" "$b"; then
  echo "reproduce: Launcher.exe holds a build or source folder name" >&2
  exit 1
fi
if ! cmp "$a" "$b"; then
  echo "reproduce: two clean builds differ ($(cmp -l "$a" "$b" | wc -l) bytes)" >&2
  exit 1
fi
sum=$(sha256sum "$a" | cut -d' ' -f1)
echo "reproduce: two clean builds are byte-identical; Launcher.exe sha256 $sum"

[ $# -eq 0 ] || g++ -std=c++20 -O1 -Wall -Wextra -o "$work/pecheck" "$root/tools/pecheck/pecheck.cpp"

# Who signed, from the signature itself, and whether it was made over these very bytes (osslsigncode
# names the signer only then). Trust in the certificate is for Windows on the player's machine to
# judge, not this check.
describe_signature() {
  local given=$1 report subject current calculated
  report=$(osslsigncode verify -in "$given" 2>&1) || true
  subject=$(sed -n 's/^[[:space:]]*Subject: //p' <<<"$report" | head -1)
  current=$(sed -n 's/^Current message digest *: *\([0-9A-Fa-f]*\).*/\1/p' <<<"$report")
  calculated=$(sed -n 's/^Calculated message digest *: *\([0-9A-Fa-f]*\).*/\1/p' <<<"$report")
  if [ -n "$current" ] && [ "$current" != "$calculated" ]; then
    echo "reproduce: $given is signed, but the signature is of other bytes than these"
  elif [ -n "$current" ] && [ -n "$subject" ]; then
    echo "reproduce: $given is signed by $subject, and the signature is of these bytes"
    return 0
  else
    echo "reproduce: $given is signed, but its signature cannot be read"
  fi
  return 1
}

status=0
for given in "$@"; do
  if cmp -s "$a" "$given"; then
    echo "reproduce: $given is the same file"
    continue
  fi
  signed=$("$work/pecheck" describe "$given" 2>/dev/null | sed -n 's/^signed //p') || true
  holds=yes
  [ "$signed" != yes ] || describe_signature "$given" || holds=
  verdict=$("$work/pecheck" compare "$given" "$a") || true
  if [ "$verdict" = "same build, signed" ] && [ -n "$holds" ]; then
    echo "reproduce: $given is the same build, signed"
  elif [ "$verdict" = "same build, signed" ]; then
    # The build's bytes under a signature that is not theirs: Windows would refuse it as a
    # damaged file, so it is no release of this build.
    echo "reproduce: $given is the same build under a signature that does not hold" >&2
    status=1
  else
    echo "reproduce: $given is ${verdict:-not readable} (sha256 $(sha256sum "$given" | cut -d' ' -f1))" >&2
    status=1
  fi
done
exit $status

#!/usr/bin/env bash
# Signs the launcher just built with a throwaway certificate and checks what a publisher and a
# player rely on: the signature verifies, the signed launcher still starts the game under Wine,
# reproduce.sh still finds the source's build in the signed file and not in a changed one, and
# sign.sh refuses bad input with the file left as it was.
#   usage: test-signing.sh PRODUCT-BUILD SUITE-BUILD BITS
# PRODUCT-BUILD holds the shipped 32-bit bin/Launcher.exe, SUITE-BUILD the bin/launcher_tests.exe
# that runs here, BITS wide. Run by test.sh after the suite, on its display and in its Wine prefix.
set -Eeuo pipefail
# A step that fails outside the checks below ends the script; say where, so it is not silent.
trap 'echo "test-signing: stopped by a failed command at line $LINENO" >&2' ERR
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-common.sh"
product=$(realpath "$1/bin") suite=$(realpath "$2/bin") prefix=$(realpath -m "$2/wine/prefix-$3") bits=$3
[ -n "${DISPLAY:-}" ] || { echo "test-signing: needs test.sh's display" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
failed() {
  echo "test-signing: FAILED: $*" >&2
  failures=$((failures + 1))
}

# A self-signed certificate with the given extended key usage, in a .p12 under the password.
export VALDRENN_SIGN_PASSWORD="throwaway password"
make_certificate() {
  local name=$1 usage=$2
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway $name" -addext "extendedKeyUsage=$usage" \
    -keyout "$work/$name.key" -out "$work/$name.pem" 2>/dev/null
  openssl pkcs12 -export -inkey "$work/$name.key" -in "$work/$name.pem" -out "$work/$name.p12" \
    -passout env:VALDRENN_SIGN_PASSWORD
}
make_certificate publisher codeSigning
make_certificate webserver serverAuth

# The publisher's step, on a copy of the product as a release folder would hold it. openssl and
# osslsigncode run through wrappers that log their command lines and environments, which other
# processes can read: the password must be in neither.
mkdir "$work/release" "$work/wrap"
signed=$work/release/Launcher.exe
cp "$product/Launcher.exe" "$signed"
for tool in openssl osslsigncode; do
  cat >"$work/wrap/$tool" <<EOF
#!/bin/sh
{ echo "\$0 \$*"; env; } >>"$work/wrap/calls.log"
exec "$(command -v "$tool")" "\$@"
EOF
  chmod +x "$work/wrap/$tool"
done
PATH=$work/wrap:$PATH bash "$here/sign.sh" "$signed" "$work/publisher.p12" || failed "sign.sh could not sign Launcher.exe"
grep -q 'osslsigncode sign ' "$work/wrap/calls.log" || failed "sign.sh did not sign through osslsigncode"
! grep -qF "$VALDRENN_SIGN_PASSWORD" "$work/wrap/calls.log" ||
  failed "the password showed on a command line or in an environment"
osslsigncode verify -in "$signed" -CAfile "$work/publisher.pem" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log"; failed "the signed Launcher.exe does not verify against the publisher's certificate"; }
grep -q '^Message digest algorithm *: SHA256' "$work/verify.log" || failed "the signature's digest is not SHA-256"
! osslsigncode verify -in "$signed" -CAfile "$work/webserver.pem" >/dev/null 2>&1 ||
  failed "the signed Launcher.exe verifies against a certificate that did not sign it"

# refused WHAT MESSAGE FILE CERT [PASSWORD [URL]]: sign.sh must fail with MESSAGE and leave FILE
# as it was, bytes and time.
state() { sha256sum <"$1" && stat -c %y "$1"; } 2>/dev/null
refused() {
  local what=$1 message=$2 file=$3 cert=$4 before after
  touch -d '2001-02-03 04:05:06' "$file"
  before=$(state "$file")
  if VALDRENN_SIGN_PASSWORD=${5-$VALDRENN_SIGN_PASSWORD} bash "$here/sign.sh" "$file" "$cert" ${6:+"$6"} \
       >"$work/refused.log" 2>&1; then
    failed "$what: sign.sh signed it"
  elif ! grep -qF "$message" "$work/refused.log"; then
    cat "$work/refused.log" >&2
    failed "$what: sign.sh did not say \"$message\""
  fi
  after=$(state "$file") || true
  [ "$before" = "$after" ] || failed "$what: sign.sh changed the file"
}
mkdir "$work/bad"
cp "$product/Launcher.exe" "$work/bad/Launcher.exe"
unsigned=$work/bad/Launcher.exe
refused "no certificate file" "$work/none.p12: no such certificate file" "$unsigned" "$work/none.p12"
refused "a wrong password" "$work/publisher.p12: wrong password" "$unsigned" "$work/publisher.p12" "not it"
refused "a certificate for web servers" "is not for code signing" "$unsigned" "$work/webserver.p12"
refused "an unreachable time-stamp server" "osslsigncode could not sign" "$unsigned" "$work/publisher.p12" \
  "$VALDRENN_SIGN_PASSWORD" http://127.0.0.1:9/
refused "a signed file" "$signed is signed already" "$signed" "$work/publisher.p12"
cp "$product/artwork.bmp" "$work/bad/picture.exe"
refused "a picture" "$work/bad/picture.exe is not a Windows program" "$work/bad/picture.exe" "$work/publisher.p12"
mkdir "$work/bad/other"
cp "$product/standin.exe" "$work/bad/other/Launcher.exe"
refused "another program named Launcher.exe" "$work/bad/other/Launcher.exe is not Launcher.exe" \
  "$work/bad/other/Launcher.exe" "$work/publisher.p12"
# The launcher built for x86-64 where the suite has one, else any 64-bit program.
wide=$suite/Launcher.exe
if [ "$bits" = 32 ]; then
  echo 'int main() { return 0; }' >"$work/wide.cpp"
  x86_64-w64-mingw32-g++ -o "$work/wide.exe" "$work/wide.cpp"
  wide=$work/wide.exe
fi
cp "$wide" "$work/bad/wide.exe"
refused "a 64-bit program" "is a 64-bit amd64 program, not the 32-bit Launcher.exe" "$work/bad/wide.exe" "$work/publisher.p12"

# A player's start and click, on the signed file: the test suite's own check, run from a folder
# where Launcher.exe is signed. This machine may run no 32-bit code; then the x86-64 launcher,
# signed by the same signing step, takes the check and the 32-bit one is only verified above.
mkdir "$work/suite"
cp "$suite/launcher_tests.exe" "$suite/standin.exe" "$suite/window_probe.dll" "$work/suite/"
if [ "$bits" = 32 ]; then
  cp "$signed" "$work/suite/Launcher.exe"
else
  echo "test-signing: this machine runs no 32-bit code: the x86-64 Launcher.exe, signed the same way, is started"
  (
    source "$here/sign.sh"
    password=$VALDRENN_SIGN_PASSWORD out=$work/suite/Launcher.exe cert=$work/publisher.p12
    work=$work/suite.sign
    mkdir "$work"
    sign_file "$suite/Launcher.exe" "$out" "$cert"
  ) || failed "the x86-64 Launcher.exe could not be signed"
fi
osslsigncode verify -in "$work/suite/Launcher.exe" -CAfile "$work/publisher.pem" >/dev/null 2>&1 ||
  failed "the Launcher.exe that Wine starts is not the signed one"
wine_select "$bits" "$prefix"
"$WINE_LOADER" "$work/suite/launcher_tests.exe" \
  --gtest_filter=Modes/ModeButtonTest.StartsItsGameFromTheLauncherFolderThenEnds/Singleplayer >"$work/wine.log" 2>&1 || true
grep -q '^\[  PASSED  \] 1 test' "$work/wine.log" ||
  { cat "$work/wine.log" >&2; failed "the signed Launcher.exe did not start the game on a click and end with 0"; }

# reproduce.sh on the unsigned product, the signed one, and signed ones changed afterwards: bytes
# after the certificate table, and one byte each of code and of the header right beside the
# checksum and the security directory entry, the fields that signing writes.
flip() {
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1")
  printf "\\x$(printf %02x $((byte ^ 0x40)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
code=$((0x$(i686-w64-mingw32-objdump -h "$signed" | awk '$2 == ".text" { print $6 }')))
header=$(($(od -An -tu4 -j 60 -N4 "$signed") + 24))
changed=()
for at in "$code" $((header + 63)) $((header + 68)) $((header + 127)) $((header + 136)); do
  changed+=("$work/changed-at-$at.exe")
  cp "$signed" "${changed[-1]}"
  flip "${changed[-1]}" "$at"
done
trailing=$work/trailing.exe
cp "$signed" "$trailing"
head -c 8 /dev/zero >>"$trailing"
# The build's own bytes under a signature whose digest was changed: a signature that does not hold.
forged=$work/forged.exe
cp "$signed" "$forged"
# (Without the throwaway root to trust, verify fails; its report still names the digest.)
digest=$({ osslsigncode verify -in "$signed" 2>&1 || true; } | sed -n 's/^Current message digest *: *\([0-9A-Fa-f]*\).*/\1/p')
# Looked for in the file's bytes as hex on one line, at a byte boundary: grep reads a file in
# lines, and a digest with a newline byte in it was never found there.
hex=$(od -An -v -tx1 "$forged" | tr -d ' \n')
at=
for match in $({ grep -ob "${digest,,}" <<<"$hex" || true; } | cut -d: -f1); do
  if [ $((match % 2)) = 0 ]; then at=$((match / 2)); break; fi
done
[ -n "$at" ] && flip "$forged" "$at" || failed "the signature's digest was not found in the signed file"
if bash "$here/reproduce.sh" "$product/Launcher.exe" "$signed" "${changed[@]}" "$trailing" "$forged" \
     >"$work/reproduce.log" 2>&1; then
  failed "reproduce.sh found the changed files the same build"
fi
says() { grep -q${2:-}F "reproduce: $1" "$work/reproduce.log" || failed "reproduce.sh did not say \"$1\""; }
says "$product/Launcher.exe is the same file" x
says "$signed is signed by /CN=Throwaway publisher, and the signature is of these bytes" x
says "$signed is the same build, signed" x
says "${changed[0]} is signed, but the signature is of other bytes than these" x
for file in "${changed[@]}"; do
  at=${file##*-at-}
  says "$file is not the same build: it differs from the build in 1 byte outside the signature, the first at offset $(printf 0x%x "${at%.exe}")"
done
says "$trailing is not the same build: the file goes on for 8 bytes after its certificate table"
says "$forged is the same build under a signature that does not hold" x

if [ "$failures" -gt 0 ]; then
  cat "$work/reproduce.log" >&2
  echo "test-signing: $failures checks failed" >&2
  exit 1
fi
echo "test-signing: signing, the signed launcher's start and reproduce.sh on signed files: all passed in $SECONDS s"

#!/usr/bin/env bash
# Signs Launcher.exe in place with an Authenticode signature (SHA-256) made by osslsigncode from a
# PKCS#12 certificate, then verifies it. The password comes from VALDRENN_SIGN_PASSWORD and reaches
# openssl and osslsigncode only through pipes, never a command line. The signed file is made and
# verified in a private folder and replaces the given one only at the end, so any failure leaves
# that file exactly as it was.
#   usage: VALDRENN_SIGN_PASSWORD=... sign.sh LAUNCHER.EXE CERT.p12 [TIMESTAMP-SERVER-URL]
# Sourced, it only defines sign_file, the signing step itself, for the tests.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)

fail() {
  echo "sign: $*" >&2
  exit 1
}

# Runs openssl on the certificate file with the password on its standard input; the legacy
# provider is tried too, since older exports use ciphers that OpenSSL 3 keeps there.
p12() {
  local file=$1
  shift
  printf '%s' "$password" | openssl pkcs12 -in "$file" -passin stdin "$@" 2>"$work/openssl.err" ||
    printf '%s' "$password" | openssl pkcs12 -legacy -in "$file" -passin stdin "$@" 2>"$work/openssl.err"
}

# sign_file IN OUT CERT.p12 [URL]: signs IN into OUT (a new file) and checks that OUT verifies as
# signed by the certificate, trusting the certificates in CERT.p12 and the system's CA list.
# Needs $password and a private folder $work.
sign_file() {
  local in=$1 out=$2 cert=$3 url=${4:-}
  p12 "$cert" -nokeys -clcerts -out "$work/signer.pem" && p12 "$cert" -nokeys -out "$work/trusted.pem" ||
    fail "$cert cannot be read with the password"
  [ ! -f /etc/ssl/certs/ca-certificates.crt ] || cat /etc/ssl/certs/ca-certificates.crt >>"$work/trusted.pem"
  local leaf
  leaf=$(openssl x509 -in "$work/signer.pem" -outform DER | sha256sum | cut -d' ' -f1)
  local stamp=()
  [ -z "$url" ] || stamp=(-ts "$url")
  if ! printf '%s' "$password" | osslsigncode sign -pkcs12 "$cert" -readpass /dev/stdin -h sha256 \
         -n "Valdrenn Launcher" "${stamp[@]}" -in "$in" -out "$out" >"$work/sign.log" 2>&1; then
    cat "$work/sign.log" >&2
    fail "osslsigncode could not sign $in${url:+ (with the time-stamp server $url)}"
  fi
  if ! osslsigncode verify -in "$out" -CAfile "$work/trusted.pem" -require-leaf-hash "sha256:$leaf" \
         >"$work/verify.log" 2>&1; then
    cat "$work/verify.log" >&2
    fail "the signed file does not verify against the certificate's own chain and the system's CA list"
  fi
}

[ "${BASH_SOURCE[0]}" = "$0" ] || return 0

[ $# -ge 2 ] && [ $# -le 3 ] || fail "usage: VALDRENN_SIGN_PASSWORD=... sign.sh LAUNCHER.EXE CERT.p12 [TIMESTAMP-SERVER-URL]"
exe=$1 cert=$2 url=${3:-}
[ -n "${VALDRENN_SIGN_PASSWORD+set}" ] || fail "set VALDRENN_SIGN_PASSWORD to the password of $cert"
password=$VALDRENN_SIGN_PASSWORD
# Nothing started from here needs it in its environment, where the user's other processes can read it.
unset VALDRENN_SIGN_PASSWORD

command -v osslsigncode >/dev/null && command -v openssl >/dev/null && command -v g++ >/dev/null ||
  bash "$here/setup.sh"
[ -f "$exe" ] || fail "$exe: no such file"
[ -f "$cert" ] || fail "$cert: no such certificate file"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O1 -Wall -Wextra -o "$work/pecheck" "$root/tools/pecheck/pecheck.cpp"

# Ours is a 32-bit x86 program whose version record names it Launcher.exe; the check does not
# look further, so a renamed copy of another program is refused, a rebuilt launcher is not.
if ! "$work/pecheck" describe "$exe" >"$work/describe" 2>"$work/describe.err"; then
  fail "$exe is not a Windows program: $(cat "$work/describe.err"); nothing was signed"
fi
field() { sed -n "s/^$1 //p" "$work/describe"; }
[ "$(field bits)" = 32 ] && [ "$(field machine)" = i386 ] ||
  fail "$exe is a $(field bits)-bit $(field machine) program, not the 32-bit Launcher.exe; nothing was signed"
[ "$(field original-filename)" = Launcher.exe ] ||
  fail "$exe is not Launcher.exe: its version record's OriginalFilename is '$(field original-filename)'; nothing was signed"
[ "$(field signed)" = no ] || fail "$exe is signed already; sign the unsigned build"

if ! p12 "$cert" -nokeys -clcerts -out "$work/signer.pem"; then
  grep -qi 'invalid password' "$work/openssl.err" &&
    fail "$cert: wrong password in VALDRENN_SIGN_PASSWORD; nothing was signed"
  fail "$cert cannot be read as a PKCS#12 (.p12 or .pfx) file; nothing was signed"
fi
openssl x509 -in "$work/signer.pem" -noout 2>/dev/null || fail "$cert holds no certificate with a key; nothing was signed"
subject=$(openssl x509 -in "$work/signer.pem" -noout -subject -nameopt compat | sed 's/^subject=//')
usage=$(openssl x509 -in "$work/signer.pem" -noout -ext extendedKeyUsage 2>/dev/null) || true
grep -q 'Code Signing' <<<"$usage" ||
  fail "the certificate in $cert ($subject) is not for code signing: its extended key usage lacks Code Signing; nothing was signed"

sign_file "$exe" "$work/signed.exe" "$cert" "$url"
# Signing may change the checksum, the security directory and what follows the file: anything
# more would break the proof that reproduce.sh gives.
verdict=$("$work/pecheck" compare "$work/signed.exe" "$exe") || true
[ "$verdict" = "same build, signed" ] || fail "osslsigncode changed more than the signature ($verdict); nothing was signed"

# Into the same folder first, so that the last step is a rename that cannot leave half a file.
beside=$(mktemp "$(dirname "$exe")/.$(basename "$exe").XXXXXX") || fail "cannot write beside $exe; nothing was signed"
trap 'rm -rf "$work" "$beside"' EXIT
cp "$work/signed.exe" "$beside"
chmod --reference="$exe" "$beside"
mv -f "$beside" "$exe"
echo "sign: signed $exe as $subject${url:+, time-stamped by $url}; it verifies (sha256 $(sha256sum "$exe" | cut -d' ' -f1))"

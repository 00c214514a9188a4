#!/usr/bin/env bash
# Runs a command on a fresh Debian 12 or 13 machine: a minimal root that debootstrap made from
# Debian's own packages, unpacked anew for every run from an untouched copy kept outside the
# checkout, with this checkout's files in /src as reproduce.sh copies them (uncommitted edits
# included). The command runs there as root, in /src, in a mount and process namespace of its
# own, so that its mounts and processes go with it however it ends. The demo's screenshots and
# the logs come back to build/debian-RELEASE/ in the checkout.
#   usage: fresh-debian.sh 12|13 COMMAND        e.g. fresh-debian.sh 13 'bash scripts/test.sh'
#   VALDRENN_DEBIAN_CACHE    the untouched roots and the shared apt downloads
#                            (default: ~/.cache/valdrenn-debian)
#   VALDRENN_DEBIAN_MIRROR   default http://deb.debian.org/debian
#   VALDRENN_KEEP_ROOT=1     keeps this run's root afterwards and says where
# Exits with the command's status, or 77 when this machine cannot make a root (no rights to
# mount, no debootstrap, no mirror), which it says in one line.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/sources.sh"

if [ $# -ne 2 ]; then
  echo "usage: bash scripts/fresh-debian.sh 12|13 COMMAND" >&2
  exit 2
fi
release=$1 command=$2
case "$release" in
  12) codename=bookworm ;;
  13) codename=trixie ;;
  *) echo "fresh-debian: Debian 12 or 13, not $release" >&2; exit 2 ;;
esac
mirror=${VALDRENN_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=$(realpath -m "${VALDRENN_DEBIAN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/valdrenn-debian}")
case "$cache/" in
  "$root"/*) echo "fresh-debian: the roots must lie outside the checkout, not in $cache" >&2; exit 2 ;;
esac

cannot() {
  echo "fresh-debian: cannot make a Debian $release root on this machine: $*" >&2
  exit 77
}
[ "$(id -u)" -eq 0 ] || cannot "it needs root"
command -v unshare >/dev/null || cannot "no unshare"
probe=$(mktemp -d)
if ! unshare --mount --propagation private --fork mount -t tmpfs none "$probe" 2>/dev/null; then
  rmdir "$probe"
  cannot "no rights to mount in a namespace of its own"
fi
rmdir "$probe"
if ! command -v debootstrap >/dev/null || [ ! -e "/usr/share/debootstrap/scripts/$codename" ]; then
  bash "$here/setup.sh" debootstrap >/dev/null 2>&1 || true
  [ -e "/usr/share/debootstrap/scripts/$codename" ] || cannot "debootstrap cannot make $codename here"
fi

mkdir -p "$cache/apt-$codename"
untouched=$cache/$codename.tar
if [ ! -f "$untouched" ]; then
  echo "fresh-debian: making a minimal Debian $release ($codename) root from $mirror; once, kept in $untouched"
  making=$(mktemp -d "$cache/making.XXXXXX")
  if ! debootstrap --variant=minbase "$codename" "$making/root" "$mirror" >"$making.log" 2>&1; then
    tail -n 5 "$making.log" >&2
    rm -rf "$making" "$making.log"
    cannot "debootstrap failed (no mirror at $mirror?)"
  fi
  # As a fresh installation has it: the release, its updates and its security updates, and no
  # service started by a package's installation inside a root that runs no init.
  cat >"$making/root/etc/apt/sources.list" <<EOF
deb $mirror $codename main
deb $mirror $codename-updates main
deb http://deb.debian.org/debian-security $codename-security main
EOF
  printf '#!/bin/sh\nexit 101\n' >"$making/root/usr/sbin/policy-rc.d"
  chmod +x "$making/root/usr/sbin/policy-rc.d"
  mv "$making/root/var/cache/apt/archives/"*.deb "$cache/apt-$codename/" 2>/dev/null || true
  tar --numeric-owner -C "$making/root" -cf "$making/root.tar" .
  mv "$making/root.tar" "$untouched"
  rm -rf "$making" "$making.log"
fi

run=$(mktemp -d "$cache/run-$codename.XXXXXX")
out=$root/build/debian-$release
# Deletes the run's root only once nothing is mounted in it: the namespace's mounts went with it,
# and a mount still seen here would take the host's own files with it.
finish() {
  if grep -q -F " $run/" /proc/self/mountinfo; then
    echo "fresh-debian: something is still mounted in $run; left there" >&2
  elif [ -n "${VALDRENN_KEEP_ROOT:-}" ]; then
    echo "fresh-debian: the root is kept in $run/root"
  else
    rm -rf "$run"
  fi
}
trap finish EXIT

mkdir "$run/root"
tar --numeric-owner -C "$run/root" -xf "$untouched"
copy_sources "$root" "$run/root/src"
cp -L /etc/resolv.conf "$run/root/etc/resolv.conf"
rm -rf "$out"
mkdir -p "$out"

echo "fresh-debian: Debian $release ($codename), fresh root; running: $command"
started=$SECONDS
# PID 1 of the namespace is this bash: when it ends, every process left there ends with it, and
# --kill-child ends it if this script is stopped first.
set +e
unshare --mount --pid --fork --kill-child --propagation private \
  env ROOT="$run/root" ARCHIVES="$cache/apt-$codename" COMMAND="$command" TERM="${TERM:-dumb}" bash -c '
    set -e
    mount -t proc proc "$ROOT/proc"
    mount -t sysfs sysfs "$ROOT/sys"
    mount --rbind /dev "$ROOT/dev"
    mount -t tmpfs -o mode=1777 shm "$ROOT/dev/shm"
    mount --bind "$ARCHIVES" "$ROOT/var/cache/apt/archives"
    exec chroot "$ROOT" /usr/bin/env -i HOME=/root TERM="$TERM" LANG=C.UTF-8 \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      bash -c "cd /src && $COMMAND"' 2>&1 | tee "$out/run.log"
status=${PIPESTATUS[0]}
set -e

# What a reader wants to see of the run: the demo's screenshots, the benchmark's figures and the
# logs of the tests.
src=$run/root/src/build
for file in "$src"/demo/*.png "$src"/bench/results.txt "$src"/bench/trials.csv "$src"/*/Testing/Temporary/*.log; do
  [ -f "$file" ] || continue
  relative=${file#"$src"/}
  mkdir -p "$out/$(dirname "$relative")"
  cp "$file" "$out/$relative"
done
echo "fresh-debian: Debian $release: the command ended with $status after $((SECONDS - started)) s;" \
     "its output and files are in $out"
exit "$status"

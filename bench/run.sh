#!/usr/bin/env bash
# Builds the launcher, the bare program and the benchmark driver, and runs the driver under Wine
# on an Xvfb display and in a Wine prefix of the benchmark's own. Arguments go to the driver
# (bench.exe --trials N --warmup N --idle-ms N). The figures are printed and kept in
# build/bench/results.txt, every trial's in build/bench/trials.csv.
#   --against REV        also builds REV's Launcher.exe (any commit of this repository) in a
#                        temporary clone and measures it in the same rounds as this checkout's
#   VALDRENN_BUILD_DIR   where to build (default: build/ in the checkout)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/../scripts/setup.sh"
source "$here/../scripts/build.sh"
source "$here/../scripts/wine-common.sh"
build=${VALDRENN_BUILD_DIR:-$root/build}

against= driver_args=()
while [ $# -gt 0 ]; do
  if [ "$1" = --against ] && [ $# -ge 2 ]; then against=$2; shift 2; else driver_args+=("$1"); shift; fi
done

bits=$(runnable_bits)
# The shipped 32-bit build is always built: its files are the ones sized.
build_product "$build/i686" -DVALDRENN_BUILD_TESTS=OFF
if [ "$bits" = 32 ]; then
  bin=$build/i686/bin
else
  echo "bench: this machine cannot run 32-bit code; measuring the x86-64 build of the same sources"
  build_x64 "$build/x64" -DVALDRENN_BUILD_TESTS=OFF
  bin=$build/x64/bin
fi

scratch=
cleanup() {
  [ -d "$state/prefix-$bits" ] && (wine_select "$bits" "$state/prefix-$bits"; "$WINE_SERVER" -k 2>/dev/null || true)
  stop_display "$state"
  [ -z "$scratch" ] || rm -rf "$scratch"
}
state=$build/bench/wine
trap cleanup EXIT

# Only REV's Launcher.exe and the artwork it carries are taken from it, built as this checkout's
# is measured; the driver, the bare program and the game stand-in stay this checkout's, so any
# two commits compare.
if [ -n "$against" ]; then
  commit=$(git -C "$root" rev-parse --verify --quiet "$against^{commit}") || { echo "bench: no commit $against" >&2; exit 2; }
  scratch=$(mktemp -d)
  echo "bench: building the Launcher.exe of $against ($commit)"
  git clone --quiet --shared --no-checkout "$root" "$scratch/src"
  git -C "$scratch/src" checkout --quiet --detach "$commit"
  toolchain=mingw-x86_64.cmake
  [ "$bits" = 64 ] || toolchain=mingw-i686.cmake
  cmake -S "$scratch/src" -B "$scratch/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$scratch/src/cmake/$toolchain" \
    -DVALDRENN_BUILD_TESTS=OFF -DVALDRENN_BUILD_BENCH=OFF >/dev/null
  cmake --build "$scratch/build" --target Launcher >/dev/null || cmake --build "$scratch/build" --target Launcher
  # REV's launcher shows REV's own artwork, and its file holds that one.
  driver_args+=(--against "$(wine_path "$scratch/build/bin/Launcher.exe")"
                --against-name "$against ($(git -C "$root" rev-parse --short "$commit"))"
                --against-artwork "$(wine_path "$scratch/src/launcher/resources/artwork.bmp")")
fi

# Always a display of our own: another window on a desktop would stand in front of the ones measured.
unset DISPLAY
ensure_display "$state"

results=$build/bench/results.txt
mkdir -p "$build/bench"
{
  echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores," \
       "Linux $(uname -r), $(/usr/lib/wine/wine64 --version)"
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  started=$SECONDS
  "$here/../scripts/wine-run.sh" "$bits" "$state" "$bin/bench.exe" --product "$(wine_path "$build/i686/bin")" \
    --csv "$(wine_path "$build/bench/trials.csv")" "${driver_args[@]}"
  echo "load after: $(cut -d' ' -f1-3 /proc/loadavg); measuring took $((SECONDS - started)) s"
} 2>&1 | tee "$results"
exit "${PIPESTATUS[0]}"

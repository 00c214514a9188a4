#!/usr/bin/env bash
# Builds the launcher, the bare program and the benchmark driver, and runs the driver under Wine
# on an Xvfb display and in a Wine prefix of the benchmark's own. Arguments go to the driver
# (bench.exe --trials N --warmup N --idle-ms N). The figures are printed and kept in
# build/bench/results.txt, every trial's in build/bench/trials.csv.
#   VALDRENN_BUILD_DIR   where to build (default: build/ in the checkout)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/../scripts/setup.sh"
source "$here/../scripts/build.sh"
source "$here/../scripts/wine-common.sh"
build=${VALDRENN_BUILD_DIR:-$root/build}

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

# Always a display of our own: another window on a desktop would stand in front of the ones measured.
unset DISPLAY
state=$build/bench/wine
cleanup() {
  [ -d "$state/prefix-$bits" ] && (wine_select "$bits" "$state/prefix-$bits"; "$WINE_SERVER" -k 2>/dev/null || true)
  stop_display "$state"
}
trap cleanup EXIT
ensure_display "$state"

results=$build/bench/results.txt
mkdir -p "$build/bench"
{
  echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores," \
       "Linux $(uname -r), $(/usr/lib/wine/wine64 --version)"
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  "$here/../scripts/wine-run.sh" "$bits" "$state" "$bin/bench.exe" --product "$(wine_path "$build/i686/bin")" \
    --csv "$(wine_path "$build/bench/trials.csv")" "$@"
  echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
} 2>&1 | tee "$results"
exit "${PIPESTATUS[0]}"

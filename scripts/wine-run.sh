#!/usr/bin/env bash
# Runs a Windows program under Wine, in a prefix and on a display of the build's own: CMake's
# emulator for tests, and the demo's runner.
# usage: wine-run.sh BITS STATE_DIR PROGRAM [ARGS...]
#   STATE_DIR holds the Wine prefix and, when there is no DISPLAY, the Xvfb that serves it
#   (stopped by test.sh and demo.sh when they end; `kill $(cut -d' ' -f1 STATE_DIR/xvfb)` after
#   running ctest by hand).
#   VALDRENN_PLAIN_PREFIX=1 runs it in a player's plain prefix there instead (wine-prefix.sh --plain).
set -euo pipefail
bits=$1 state_dir=$(realpath -m "$2")
shift 2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-common.sh"

mkdir -p "$state_dir"
prefix=$state_dir/prefix-$bits plain=()
if [ -n "${VALDRENN_PLAIN_PREFIX:-}" ]; then prefix=$state_dir/plain-$bits plain=(--plain); fi
# One caller at a time starts the display and creates the prefix.
exec 9>"$state_dir/setup.lock"
flock 9
ensure_display "$state_dir"
[ -f "$prefix/.valdrenn-ready" ] || bash "$here/wine-prefix.sh" "${plain[@]}" "$bits" "$prefix"
flock -u 9
exec 9>&-
wine_select "$bits" "$prefix"
exec "$WINE_LOADER" "$@"

#!/usr/bin/env bash
# Builds the launcher and runs the whole test suite under Wine, on an Xvfb display of its own.
#   VALDRENN_BUILD_DIR   where to build (default: build/ in the checkout)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/setup.sh"
source "$here/build.sh"
source "$here/wine-common.sh"
build=${VALDRENN_BUILD_DIR:-$root/build}

# brand.sh, our stand-in pictures and the build's check of the pictures.
bash "$here/test-brand.sh"

# The shipped 32-bit Launcher.exe, with its test suite and benchmark: always built, so that a
# change that breaks any 32-bit target fails here even where no 32-bit code can run.
# Any warning stops the build here, so that CI sees it.
build_product "$build/i686" -DVALDRENN_BUILD_TESTS=ON -DVALDRENN_WARNINGS_AS_ERRORS=ON
bits=$(runnable_bits)
if [ "$bits" = 32 ]; then
  echo "test: testing the 32-bit Launcher.exe, the shipped build"
  suite=$build/i686
else
  # This kernel runs no 32-bit code (ia32 emulation is off), so neither 32-bit Wine nor Wine's
  # WoW64 can start the product. The same sources built for x86-64 take the behaviour tests;
  # the checks that read the shipped file read the 32-bit one.
  echo "test: this machine cannot run 32-bit code: the 32-bit suite and benchmark were built, not run;"
  echo "test: testing the behaviour of the x86-64 build of the same sources, and the 32-bit Launcher.exe's file"
  build_x64 "$build/x64" -DVALDRENN_BUILD_TESTS=ON -DVALDRENN_WARNINGS_AS_ERRORS=ON \
    -DVALDRENN_PRODUCT_EXE="$build/i686/bin/Launcher.exe"
  suite=$build/x64
fi

# The tests move the mouse and read the screen: they get a display of their own, never the
# developer's desktop, unless VALDRENN_TEST_DISPLAY names one.
unset DISPLAY
[ -z "${VALDRENN_TEST_DISPLAY:-}" ] || export DISPLAY=$VALDRENN_TEST_DISPLAY

cleanup() {
  [ -d "$suite/wine/prefix-$bits" ] && (wine_select "$bits" "$suite/wine/prefix-$bits"; "$WINE_SERVER" -k 2>/dev/null || true)
  [ -d "$suite/wine/plain-$bits" ] && (wine_select "$bits" "$suite/wine/plain-$bits"; "$WINE_SERVER" -k 2>/dev/null || true)
  stop_display "$suite/wine"
}
trap cleanup EXIT
ensure_display "$suite/wine"
# Create the prefix now, not inside the first test's time limit, and undo what any earlier run
# that was killed left changed in it.
bash "$here/wine-prefix.sh" "$bits" "$suite/wine/prefix-$bits"
# A player's plain prefix too, where some tests run a second time (VALDRENN_PLAIN_PREFIX).
bash "$here/wine-prefix.sh" --plain "$bits" "$suite/wine/plain-$bits"
ctest --test-dir "$suite" --output-on-failure
# Signing, and two clean builds elsewhere that must give the product's bytes, signed or not.
bash "$here/test-signing.sh" "$build/i686" "$suite" "$bits"

# Shared by test.sh, demo.sh and the benchmark: configures and builds. Source it.
#   build_product DIR [CMAKE ARGS...]   the shipped 32-bit Launcher.exe (and, with tests on, its suite)
#   build_x64 DIR [CMAKE ARGS...]       the same sources for x86-64, for machines without 32-bit code
#   runnable_bits                        prints 32 where 32-bit Wine can run here, else 64
# BUILD_TARGETS, when set, names the only targets to build (the cache keeps other settings, so
# the demo and the tests can share a build folder).
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

_configure_and_build() {
  local dir=$1 toolchain=$2
  shift 2
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" "$@" >/dev/null
  local targets=()
  [ -z "${BUILD_TARGETS:-}" ] || targets=(--target $BUILD_TARGETS)
  cmake --build "$dir" "${targets[@]}" >/dev/null || cmake --build "$dir" "${targets[@]}"
}

build_product() { local dir=$1; shift; _configure_and_build "$dir" mingw-i686.cmake "$@"; }
build_x64() { local dir=$1; shift; _configure_and_build "$dir" mingw-x86_64.cmake "$@"; }

runnable_bits() {
  if bash "$root/scripts/can-run-32bit.sh" && [ -x /usr/lib/wine/wine ]; then echo 32; else echo 64; fi
}

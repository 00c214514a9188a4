#!/usr/bin/env bash
# Builds and runs the asset generator's tests with the host g++ in a temporary folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
sources=()
for f in "$here"/*.cpp "$here"/tests/*.cpp; do
  [ "$(basename "$f")" = assetgen.cpp ] || sources+=("$f")
done
g++ -std=c++20 -O2 -ffp-contract=off -Wall -Wextra -I"$here" -o "$build/assetgen_tests" "${sources[@]}"
"$build/assetgen_tests"

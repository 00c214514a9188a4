#!/usr/bin/env bash
# Rebuilds launcher/resources/artwork.bmp and launcher.ico from tools/assetgen. The generator is
# compiled with the host g++ into a temporary folder, run once, and removed again; its output is
# deterministic, so running this on a clean checkout leaves git with nothing to commit.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT

# -ffp-contract=off keeps compilers from fusing multiply-adds, which would change rounding.
g++ -std=c++20 -O2 -ffp-contract=off -Wall -Wextra -o "$build/assetgen" \
  "$here/assetgen.cpp" "$here/artwork.cpp" "$here/icon.cpp" "$here/lettering.cpp" \
  "$here/formats.cpp" "$here/raster.cpp"
mkdir -p "$root/launcher/resources"
"$build/assetgen" "$root/launcher/resources/artwork.bmp" "$root/launcher/resources/launcher.ico"

#!/usr/bin/env bash
# Creates a Wine prefix for running the launcher and its tests: a known DPI, Wine drawing the
# window frames itself (no window manager on Xvfb), and no desktop menu entries written.
# usage: wine-prefix.sh BITS PREFIX     (needs DISPLAY)
set -euo pipefail
bits=$1 prefix=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-common.sh"
wine_select "$bits" "$prefix"

mkdir -p "$prefix"
"$WINE_LOADER" wineboot -i >"$prefix/../wineboot.log" 2>&1
"$WINE_SERVER" -w

reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:00000060

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"winemenubuilder.exe"=""
REG
"$WINE_LOADER" regedit /S "$(wine_path "$reg")" >/dev/null 2>&1
# wineboot leaves the theme colours in a volatile key that wins until the wineserver ends.
"$WINE_SERVER" -k || true
"$WINE_SERVER" -w
touch "$prefix/.valdrenn-ready"

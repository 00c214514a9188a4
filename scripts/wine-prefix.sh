#!/usr/bin/env bash
# Makes a Wine prefix ready for the launcher and its tests, creating it if need be, and sets the
# desktop settings that tests change back to their known values (a test that was killed cannot
# restore what it changed): 96 dots per inch, the default selection colours, Wine drawing the
# window frames itself (no window manager on Xvfb), no DLL override for the launcher, and Wine's
# own fonts in the prefix. TrueType text is smoothed sub-pixel, as Windows does by default: whether
# Wine smooths otherwise depends on the machine, and the tests must allow for it.
# With --plain the prefix is a player's, as wineboot makes it, with only what the tests need of the
# above: Wine drawing the frames, and 96 dots per inch.
# usage: wine-prefix.sh [--plain] BITS PREFIX     (needs DISPLAY)
set -euo pipefail
plain=
if [ "${1:-}" = --plain ]; then plain=yes; shift; fi
bits=$1 prefix=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-common.sh"
wine_select "$bits" "$prefix"

created=
if [ ! -f "$prefix/.valdrenn-ready" ]; then
  mkdir -p "$prefix"
  "$WINE_LOADER" wineboot -i >"$prefix/../wineboot.log" 2>&1
  "$WINE_SERVER" -w
  created=yes
fi

# Wine 8 as Debian ships it, started through its loader, never opens its own fonts folder (strace
# shows no look into /usr/share/wine/fonts), so "MS Sans Serif" falls back to an antialiased DejaVu
# Sans, and the frame's caption buttons, drawn with its Marlett, show as "0 1 r". It does read the
# prefix's own Fonts folder: Wine's fonts are linked there.
for font in /usr/share/wine/fonts/*; do
  if [ -z "$plain" ] && [ -f "$font" ]; then ln -sf "$font" "$prefix/drive_c/windows/Fonts/"; fi
done

reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:00000060
REG
[ -n "$plain" ] || cat >>"$reg" <<'REG'

[HKEY_CURRENT_USER\Control Panel\Desktop]
"FontSmoothing"="2"
"FontSmoothingType"=dword:00000002
"FontSmoothingGamma"=dword:00000578
"FontSmoothingOrientation"=dword:00000001

[HKEY_CURRENT_USER\Control Panel\Colors]
"Hilight"="48 150 250"
"HilightText"="255 255 255"

[-HKEY_CURRENT_USER\Software\Wine\AppDefaults\Launcher.exe\DllOverrides]
[-HKEY_CURRENT_USER\Software\Wine\AppDefaults\valdrennsp.exe\DllOverrides]
REG
"$WINE_LOADER" regedit /S "$(wine_path "$reg")" >/dev/null 2>&1
if [ -n "$created" ]; then
  # wineboot leaves the theme colours in a volatile key that wins until the wineserver ends.
  "$WINE_SERVER" -k || true
  "$WINE_SERVER" -w
  touch "$prefix/.valdrenn-ready"
fi

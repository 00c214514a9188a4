#!/usr/bin/env bash
# Builds the launcher and runs it under Wine in a demo game folder whose two game programs are
# stand-ins, so each button visibly does its job. With a DISPLAY you play it yourself; without
# one it runs on Xvfb, presses each button in turn and saves screenshots, whose names it prints.
#   VALDRENN_BUILD_DIR   where to build (default: build/ in the checkout)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/setup.sh"
source "$here/build.sh"
source "$here/wine-common.sh"
build=${VALDRENN_BUILD_DIR:-$root/build}

bits=$(runnable_bits)
export BUILD_TARGETS="Launcher standin"
build_product "$build/i686"
if [ "$bits" = 32 ]; then
  bin=$build/i686/bin
else
  echo "demo: this machine cannot run 32-bit code; running the x86-64 build of the same sources"
  build_x64 "$build/x64"
  bin=$build/x64/bin
fi

demo=$build/demo
game=$demo/game
mkdir -p "$game"
cp "$bin/Launcher.exe" "$game/Launcher.exe"
cp "$bin/standin.exe" "$game/valdrennsp.exe"
cp "$bin/standin.exe" "$game/valdrennmp.exe"
state=$demo/wine

launcher() { (cd "$game" && exec "$here/wine-run.sh" "$bits" "$state" Launcher.exe); }

if [ -n "${DISPLAY:-}" ]; then
  echo "demo: the launcher is in $game; close it or press a button to end"
  launcher
  exit 0
fi

# No display: show it on Xvfb and press the buttons as a player would.
# Wine's processes go first, so that nothing complains about a display that vanished.
trap '(wine_select "$bits" "$state/prefix-$bits"; "$WINE_SERVER" -k 2>/dev/null || true); stop_display "$state"' EXIT
ensure_display "$state"
export VALDRENN_STANDIN_LIFETIME=4000

window_of() {  # prints "x y width height" of the X window named $1, waiting up to 60 s for it
  for _ in $(seq 600); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
    if [ -n "$id" ]; then
      eval "$(xdotool getwindowgeometry --shell "$id")"
      echo "$X $Y $WIDTH $HEIGHT"
      return 0
    fi
    sleep 0.1
  done
  echo "demo: no window named $1 appeared" >&2
  return 1
}

shot() { xwd -root -silent | convert xwd:- -crop 720x480+0+0 "$demo/$1.png"; echo "demo: saved $demo/$1.png"; }

no_launcher_left() {  # fails if a launcher window is still on screen
  if xdotool search --onlyvisible --name '^Valdrenn Launcher$' >/dev/null 2>&1; then
    echo "demo: a launcher window is still on screen" >&2
    return 1
  fi
}

gone() {  # waits up to 20 s until no visible window is named $1
  for _ in $(seq 200); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "demo: the window $1 stayed" >&2
  return 1
}

# Starts a launcher, saves a screenshot named $3 if given, then presses the button at client point
# (x, y) as a player would and waits for the launcher to end.
press() {
  launcher & local pid=$!
  local wx wy ww wh
  read -r wx wy ww wh < <(window_of "Valdrenn Launcher") || { echo "demo: no launcher window" >&2; return 1; }
  sleep 1
  [ -z "${3:-}" ] || shot "$3"
  # The frame is Wine's own: equal borders, the small caption on top of a 447x315 client area.
  local border=$(((ww - 447) / 2)) caption=$((wh - 315 - (ww - 447) / 2))
  xdotool mousemove $((wx + border + $1)) $((wy + caption + $2)) click 1
  for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "demo: the launcher did not end after the click" >&2
    return 1
  fi
  wait "$pid"
  no_launcher_left
}

# A game window shown, with no launcher left behind it.
game_shot() {
  window_of "Valdrenn - $1" >/dev/null
  sleep 1
  no_launcher_left
  shot "$2"
  gone "Valdrenn - $1"
}

press 124 296 launcher
echo "demo: Exit ended the launcher"
press 124 96
game_shot Singleplayer singleplayer
press 124 136
game_shot Multiplayer multiplayer

# Shared by the scripts that run Windows programs under Wine. Source it; nothing runs on its own.

# Sets WINE_LOADER and WINE_SERVER for a 32- or 64-bit program and exports the environment that
# keeps Wine quiet and inside the given prefix. Debian's `wine` script is bypassed because it
# always picks the 32-bit loader when one is installed, even where it cannot run.
wine_select() {
  local bits=$1 prefix=$2
  if [ "$bits" = 64 ]; then
    WINE_LOADER=/usr/lib/wine/wine64 WINE_SERVER=/usr/lib/wine/wineserver64
    export WINEARCH=win64
  else
    WINE_LOADER=/usr/lib/wine/wine WINE_SERVER=/usr/lib/wine/wineserver32
    export WINEARCH=win32
  fi
  export WINEPREFIX=$prefix WINELOADER=$WINE_LOADER WINESERVER=$WINE_SERVER
  export WINEDEBUG=${WINEDEBUG:--all}
  # No .NET or HTML engine offers, and no menu entries written into the user's home.
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
}

# A Unix path as Windows programs under Wine see it.
wine_path() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s' "${path//\//\\}"
}

# Makes sure DISPLAY names a running X server: the caller's, or an Xvfb of our own recorded in
# STATE_DIR and reused by later calls.
ensure_display() {
  local state_dir=$1
  [ -n "${DISPLAY:-}" ] && return 0
  mkdir -p "$state_dir"
  local pid display
  if [ -f "$state_dir/xvfb" ]; then
    read -r pid display <"$state_dir/xvfb"
    if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X${display#:}" ]; then
      export DISPLAY=$display
      return 0
    fi
  fi
  # Xvfb picks a free display itself and tells which; two runs at once cannot take the same one.
  local number_file=$state_dir/xvfb.display
  rm -f "$number_file"
  setsid Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$number_file" >/dev/null 2>&1 </dev/null &
  pid=$!
  for _ in $(seq 200); do [ -s "$number_file" ] && break; sleep 0.05; done
  display=:$(tr -dc 0-9 <"$number_file")
  if [ "$display" = : ] || ! kill -0 "$pid" 2>/dev/null; then
    echo "could not start Xvfb" >&2
    return 1
  fi
  echo "$pid $display" >"$state_dir/xvfb"
  export DISPLAY=$display
}

# Stops the Xvfb that ensure_display started for STATE_DIR, if any.
stop_display() {
  local state_dir=$1 pid display
  [ -f "$state_dir/xvfb" ] || return 0
  read -r pid display <"$state_dir/xvfb"
  kill "$pid" 2>/dev/null || true
  rm -f "$state_dir/xvfb" "$state_dir/xvfb.display"
}

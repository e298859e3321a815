#!/bin/bash
# Sourced by the project's scripts: a virtual X display and the Wine
# environment of the project's prefixes. Sourcing starts nothing and sets no
# trap; the caller starts what it needs and stops it from its own EXIT trap:
#
#   . tools/wine-env.sh
#   tarvik_display_start            # a virtual display when DISPLAY is unset
#   trap tarvik_display_stop EXIT   # with whatever else the script stops
#   tarvik_wine_prefix "$prefix"    # the prefix, made once
#   tarvik_wine_env "$prefix"       # WINEPREFIX and the quiet settings

# Starts Xvfb and exports DISPLAY when there is no display, or always with
# "own" or TARVIK_OWN_DISPLAY set (test entries running side by side). A
# number is ours once the lock file names our Xvfb and it answers: a server
# that loses the lock to another exits, and the next number is tried. An
# answer alone proves nothing: from another network namespace a client falls
# back to the socket file, which is the other entry's server, and that
# entry's end would then take our windows with it. (Xvfb's own -displayfd
# choice has the same flaw.) Sets TARVIK_VIRTUAL_DISPLAY.
tarvik_display_start() {
  if [ -n "${DISPLAY:-}" ] && [ "${1:-}" != own ] && [ -z "${TARVIK_OWN_DISPLAY:-}" ]; then return 0; fi
  local number
  for number in $(seq 90 189); do
    [ ! -e "/tmp/.X${number}-lock" ] || continue
    Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    tarvik_xvfb=$!
    for _ in $(seq 100); do
      kill -0 "$tarvik_xvfb" 2>/dev/null || break
      if [ "$({ tr -d ' \n' <"/tmp/.X${number}-lock"; } 2>/dev/null)" = "$tarvik_xvfb" ] &&
        DISPLAY=":$number" xdpyinfo >/dev/null 2>&1 && kill -0 "$tarvik_xvfb" 2>/dev/null; then
        export DISPLAY=":$number"
        # This display is the one of the caller's children too.
        unset TARVIK_OWN_DISPLAY
        # shellcheck disable=SC2034 # read by the scripts that source this one
        TARVIK_VIRTUAL_DISPLAY=1
        return 0
      fi
      sleep 0.1
    done
    tarvik_display_stop
  done
  echo "wine-env: no virtual display could be started" >&2
  return 1
}

# Stops the display that tarvik_display_start started, if any.
tarvik_display_stop() {
  if [ -n "${tarvik_xvfb:-}" ]; then
    kill "$tarvik_xvfb" 2>/dev/null || true
    wait "$tarvik_xvfb" 2>/dev/null || true
  fi
  tarvik_xvfb=""
}

# Wine quiet, without Mono, Gecko nor desktop menu entries, in the prefix
# (Wine takes an absolute path only).
tarvik_wine_env() {
  WINEPREFIX="$(realpath -m "$1")"
  export WINEPREFIX WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
}

# Makes a prefix once, whoever asks first: no window-manager integration
# (hiding a window would stall 2 s without a window manager) unless
# TARVIK_WINE_MANAGED is set (a window manager runs on the display), no crash
# dialog, the fonts the layout names, the DPI of TARVIK_WINE_DPI if set.
# wineboot without a display leaves a prefix half made (no web browser
# association, among others), so it gets one for the while.
tarvik_wine_prefix() (
  set -e
  tarvik_wine_env "$1"
  mkdir -p "$(dirname "$1")"
  exec 9>"$1.lock"
  flock 9
  [ -f "$1/.tarvik-ready" ] && exit 0
  if [ -z "${DISPLAY:-}" ]; then
    tarvik_display_start
    trap tarvik_display_stop EXIT
  fi
  wineboot -i >/dev/null 2>&1
  if [ -z "${TARVIK_WINE_MANAGED:-}" ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  fi
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'Segoe UI' /t REG_SZ \
    /d Tahoma /f >/dev/null 2>&1
  if [ -n "${TARVIK_WINE_DPI:-}" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$TARVIK_WINE_DPI" /f >/dev/null 2>&1
  fi
  wineserver -w
  touch "$1/.tarvik-ready"
)

# Ends every Wine process of the prefix in WINEPREFIX.
tarvik_wine_stop() {
  wineserver -k 2>/dev/null || true
}

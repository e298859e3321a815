#!/bin/bash
# Builds the launcher and starts it under Wine. On a virtual display (no
# DISPLAY set) it saves a screenshot to build/demo/screenshot.png and stops.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
tools/setup.sh
. tools/virtual-display.sh

cmake --preset demo >/dev/null
cmake --build --preset demo

prefix="$root/build/demo/wineprefix"
cmake/wine-prefix.sh "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="

cd build/demo
if [ -n "${TARVIK_VIRTUAL_DISPLAY:-}" ]; then
  wine Lanceur_Tarvik.exe &
  launcher=$!
  sleep "${TARVIK_DEMO_SECONDS:-8}"
  import -window root -crop 640x600+0+0 screenshot.png
  echo "run-launcher: screenshot saved to build/demo/screenshot.png"
  kill "$launcher" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
else
  wine Lanceur_Tarvik.exe
fi

#!/bin/bash
# Builds the launcher for a status server on loopback, starts the project's
# own status server there, registers the stand-in simulator as Condor 3, and
# starts the launcher under Wine. On a virtual display
# (no DISPLAY set) it saves a screenshot to build/demo/screenshot.png and stops.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
tools/setup.sh
. tools/wine-env.sh

cmake --preset demo >/dev/null
cmake --build --preset demo

# The project's status server on loopback, answering the poll: online.
build/demo/status-server/tarvik-status-server --bind 127.0.0.1 --version 3.0.4 > build/demo/status-server.log &
server=$!
stop() {
  kill "$server" 2>/dev/null || true
  tarvik_display_stop
}
trap stop EXIT
tarvik_display_start

prefix="$root/build/demo/wineprefix"
tarvik_wine_prefix "$prefix"
tarvik_wine_env "$prefix"

# The settings folder that an installer would make, so that the first run
# can write its settings.
appdata="$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')"
mkdir -p "$(winepath -u "$appdata" 2>/dev/null)/LeTarvik/LanceurTarvik"

# The stand-in simulator, registered as Condor 3 is: "Connexion" starts it.
drive_c="$prefix/drive_c"
mkdir -p "$drive_c/Condor3"
cp build/demo/condor_standin.exe "$drive_c/Condor3/Condor.exe"
wine reg add 'HKCU\Software\Condor3' /v InstallDir /t REG_SZ /d 'C:\Condor3' /f /reg:32 >/dev/null 2>&1

cd build/demo
if [ -n "${TARVIK_VIRTUAL_DISPLAY:-}" ]; then
  wine Lanceur_Tarvik.exe &
  launcher=$!
  sleep "${TARVIK_DEMO_SECONDS:-8}"
  import -window root screenshot.png
  echo "run-launcher: screenshot saved to build/demo/screenshot.png"
  kill "$launcher" 2>/dev/null || true
  tarvik_wine_stop
else
  wine Lanceur_Tarvik.exe
fi

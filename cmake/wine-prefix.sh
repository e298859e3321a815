#!/bin/bash
# Makes the Wine prefix of the tests once: no window manager stalls, no crash
# dialog, the fonts the layout names, and the DPI asked for in TARVIK_WINE_DPI.
set -euo pipefail
prefix="$1"
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.tarvik-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'Segoe UI' /t REG_SZ /d Tahoma /f >/dev/null 2>&1
if [ -n "${TARVIK_WINE_DPI:-}" ]; then
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$TARVIK_WINE_DPI" /f >/dev/null 2>&1
fi
wineserver -w
touch "$prefix/.tarvik-ready"

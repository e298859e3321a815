#!/bin/bash
# Runs a Windows program of the build under Wine, in the test prefix given
# as the first argument (made on first use), on the display of the run, or
# on a virtual one of its own when there is none.
set -euo pipefail
prefix="$1"
shift
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
"$(dirname "$0")/wine-prefix.sh" "$prefix"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" wine "$@"
fi
exec wine "$@"

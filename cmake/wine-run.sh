#!/bin/bash
# Runs a Windows program of the build under Wine, in the prefix given as the
# first argument (made on first use), on the display of the run, or on a
# virtual one of its own when there is none or TARVIK_OWN_DISPLAY is set.
set -euo pipefail
. "$(dirname "$0")/../tools/wine-env.sh"
prefix="$1"
shift
if [ -z "${DISPLAY:-}" ] || [ -n "${TARVIK_OWN_DISPLAY:-}" ]; then
  tarvik_display_start
  trap tarvik_display_stop EXIT
fi
tarvik_wine_prefix "$prefix"
tarvik_wine_env "$prefix"
wine "$@"

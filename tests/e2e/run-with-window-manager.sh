#!/bin/bash
# Runs a command on a virtual display of its own with a real window manager
# (Openbox) on it, so that activation and focus go as on a desktop.
# Usage: run-with-window-manager.sh <command...>
set -euo pipefail
. "$(dirname "$0")/../../tools/wine-env.sh"
tarvik_display_start own
openbox --sm-disable >/dev/null 2>&1 &
manager=$!
trap 'kill "$manager" 2>/dev/null || true; wait "$manager" 2>/dev/null || true; tarvik_display_stop' EXIT
# It manages the screen once it names itself on the root window.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  kill -0 "$manager" 2>/dev/null || { echo "window manager did not start" >&2; exit 1; }
  sleep 0.1
done
"$@"

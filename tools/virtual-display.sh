#!/bin/bash
# Sourced: gives the calling script a virtual X display when it has none,
# stopped when that script exits.
if [ -z "${DISPLAY:-}" ]; then
  tarvik_display=90
  while [ -e "/tmp/.X${tarvik_display}-lock" ] || [ -e "/tmp/.X11-unix/X${tarvik_display}" ]; do
    tarvik_display=$((tarvik_display + 1))
  done
  Xvfb ":${tarvik_display}" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  tarvik_xvfb=$!
  trap 'kill "$tarvik_xvfb" 2>/dev/null || true' EXIT
  export DISPLAY=":${tarvik_display}"
  for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  TARVIK_VIRTUAL_DISPLAY=1
fi

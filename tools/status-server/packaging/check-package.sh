#!/bin/bash
# Makes the Debian package in a scratch folder and checks what it holds; then
# checks the unit with systemd-analyze, pointed at the build's program.
set -euo pipefail
cpack="$1" build="$2" program="$3"
here="$(cd "$(dirname "$0")" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >/dev/null
package=("$scratch"/tarvik-status-server_*.deb)
[ -f "${package[0]}" ] || fail "no package made"

contents="$(dpkg-deb -c "${package[0]}" | awk '{print $1, $6}')"
for expected in \
  "-rwxr-xr-x ./usr/bin/tarvik-status-server" \
  "-rw-r--r-- ./usr/lib/systemd/system/tarvik-status-server.service" \
  "-rw-r--r-- ./etc/tarvik-status-server/statut.conf" \
  "-rw-r--r-- ./usr/share/doc/tarvik-status-server/README.md"; do
  grep -qxF -- "$expected" <<<"$contents" || fail "missing '$expected' in: $contents"
done
files="$(grep -c '^-' <<<"$contents")"
[ "$files" -eq 4 ] || fail "$files files instead of 4: $contents"

dpkg-deb -I "${package[0]}" conffiles | grep -qx /etc/tarvik-status-server/statut.conf ||
  fail "statut.conf is not a conffile"
[ "$(dpkg-deb -f "${package[0]}" Package)" = tarvik-status-server ] || fail "package name"
dpkg-deb -f "${package[0]}" Depends | grep -q libc6 || fail "no dependency on libc6"

# The example configuration, as installed, starts the server with its answers.
dpkg-deb -x "${package[0]}" "$scratch/root"
conf="$scratch/root/etc/tarvik-status-server/statut.conf"
started=""
for attempt in 1 2 3 4 5; do
  port=$((40000 + RANDOM % 20000))
  "$program" --bind 127.0.0.1 --port "$port" --config "$conf" >"$scratch/log" 2>&1 &
  server=$!
  sleep 0.5
  kill "$server" 2>/dev/null || true
  wait "$server" || true
  started="$(head -1 "$scratch/log")"
  grep -q "cannot listen" <<<"$started" || break
done
grep -q "listening on udp 127.0.0.1:$port (TPv2.0 -> SP3.0.4, DC -> CCtarvik)$" <<<"$started" ||
  fail "the example configuration gave: $started"

if command -v systemd-analyze >/dev/null; then
  unit="$scratch/tarvik-status-server.service"
  sed "s#/usr/bin/tarvik-status-server#$program#; s#/etc/tarvik-status-server/statut.conf#$conf#" \
    "$here/tarvik-status-server.service" >"$unit"
  # Unknown keys are only warned about: any word from it is a failure.
  verdict="$(systemd-analyze verify "$unit" 2>&1)" || fail "$verdict"
  [ -z "$verdict" ] || fail "$verdict"
else
  echo "check-package: systemd-analyze not found, unit not verified"
fi

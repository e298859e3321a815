#!/bin/bash
# Runs a command in a network namespace of its own with its own loopback, so
# that test entries binding the same fixed ports (56284, 18080, 18443) can
# run side by side without hearing each other. Host names resolve from
# /etc/hosts only in there: with no DNS server to reach, an unknown name
# would read as a temporary failure instead of an unknown host. Where the
# machine allows no namespace, the entries take turns on the shared loopback.
set -euo pipefail
[ -z "${TARVIK_PRIVATE_NETWORK:-}" ] || exec "$@"
if command -v ip >/dev/null && unshare -n -m true 2>/dev/null; then
  hosts_only="$(mktemp)"
  sed 's/^hosts:.*/hosts: files/' /etc/nsswitch.conf >"$hosts_only"
  exec env TARVIK_PRIVATE_NETWORK=own unshare -n -m bash -c \
    'ip link set lo up && mount --bind "$0" /etc/nsswitch.conf && rm -f "$0" && exec "$@"' "$hosts_only" "$@"
fi
echo "private-network: no network namespace here; waiting for the shared loopback" >&2
exec env TARVIK_PRIVATE_NETWORK=shared flock /tmp/tarvik-loopback.lock "$@"

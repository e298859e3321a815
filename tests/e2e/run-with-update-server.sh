#!/bin/bash
# Runs a test program with the update server of the tests on loopback.
# Usage: run-with-update-server.sh <updater file> <work dir> <command...>
set -euo pipefail
updater="$1"; work="$2"; shift 2
mkdir -p "$work"
rm -f "$work/ready"
# 443 is the default port of https; the test process may trust test-ca.cer.
# TARVIK_UPDATE_KEYS: a folder with the minisign key pair test.key/test.pub
# that the server signs updaters with.
python3 "$(dirname "$0")/update_server.py" --http-port 18080 --https-port 18443 \
  --ca-https-port 443 --unknown-ca-https-port 18444 --test-ca "$work/test-ca.cer" \
  --updater "$updater" --log "$work/requests.log" --ready "$work/ready" \
  ${TARVIK_UPDATE_KEYS:+--keys "$TARVIK_UPDATE_KEYS"} &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -f "$work/ready" ] && break
  kill -0 "$server" 2>/dev/null || { echo "update server did not start" >&2; exit 1; }
  sleep 0.1
done
export TARVIK_HTTP_LOG="Z:$work/requests.log" TARVIK_TEST_CA="Z:$work/test-ca.cer"
"$@"

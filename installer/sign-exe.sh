#!/bin/bash
# Signs a Windows program in place (Authenticode, SHA-256) with osslsigncode.
#   sign-exe.sh <program.exe>
# Reads the certificate from the environment, never from the repository:
#   TARVIK_SIGN_PKCS12    PKCS#12 file holding the certificate and its key
#   TARVIK_SIGN_PASSWORD  its password (empty when it has none)
#   TARVIK_TIMESTAMP_URL  an RFC 3161 time-stamp server (optional)
set -euo pipefail
program="$1"
: "${TARVIK_SIGN_PKCS12:?sign-exe.sh: TARVIK_SIGN_PKCS12 names no certificate}"

# The password goes through a pipe: on the command line, any user of the
# machine could read it in the process list. osslsigncode reads no empty one.
args=(sign -pkcs12 "$TARVIK_SIGN_PKCS12" -h sha256 -n "Lanceur Tarvik")
if [ -n "${TARVIK_SIGN_PASSWORD:-}" ]; then
  args+=(-readpass /dev/stdin)
else
  args+=(-pass "")
fi
if [ -n "${TARVIK_TIMESTAMP_URL:-}" ]; then
  args+=(-ts "$TARVIK_TIMESTAMP_URL")
fi
signed="$program.signed"
rm -f "$signed"
printf '%s' "${TARVIK_SIGN_PASSWORD:-}" | osslsigncode "${args[@]}" -in "$program" -out "$signed" >/dev/null
mv "$signed" "$program"

#!/bin/bash
# The release command with a self-signed certificate made here by openssl,
# a time-stamp server on loopback and fresh minisign keys, checked with
# Debian's own tools: osslsigncode verifies the launcher, the installer and
# the uninstaller that the installer writes (under Wine), time stamps
# included; minisign verifies every artefact and SHA256SUMS. Without its
# signature, the signed launcher is the unsigned reproducible one.
#
#   run-signing-test.sh <work folder of the reproducible test> <version> <four-number version>
#
# Runs on the second build of the reproducible test, and compares with the
# first.
set -euo pipefail
# The time-stamp server listens on a fixed loopback port: a loopback of its
# own when the machine allows one.
if [ -z "${TARVIK_PRIVATE_NETWORK:-}" ] && command -v ip >/dev/null && unshare -n true 2>/dev/null; then
  exec env TARVIK_PRIVATE_NETWORK=1 unshare -n bash -c 'ip link set lo up && exec "$0" "$@"' "$0" "$@"
fi
repro="$(realpath "$1")" version="$2" file_version="$3"
root="$(cd "$(dirname "$0")/../.." && pwd)"
first="$repro/first/build"
second_src="$repro/second/a-longer-folder/src"
second="$repro/second/a-longer-folder/build"
work="$repro/signing"
fail() { echo "signing test: $*" >&2; exit 1; }
[ -f "$first/Lanceur_Tarvik.exe" ] && [ -d "$second" ] || fail "run the reproducible test first"
SOURCE_DATE_EPOCH="$(cat "$repro/source-date-epoch")"
export SOURCE_DATE_EPOCH

rm -rf "$work"
mkdir -p "$work"
cd "$work"
setup="LanceurTarvik-Setup-$version.exe"
zip="LanceurTarvik-$version.zip"
out="$second/release"

# A code-signing certificate of its own, a stranger's, and a time-stamp
# authority's.
make_certificate() {
  openssl req -x509 -newkey rsa:3072 -nodes -days 2 -subj "/CN=$2" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=critical,$3" \
    -keyout "$1.key" -out "$1.pem" 2>/dev/null
}
make_certificate signer "Lanceur Tarvik test signer" codeSigning
make_certificate stranger "Someone else" codeSigning
make_certificate tsa "Test time-stamp authority" timeStamping

. "$root/tools/wine-env.sh"
tarvik_display_start
tsa_port=56391
cleanup() {
  if [ -n "${tsa_server:-}" ]; then kill "$tsa_server" 2>/dev/null || true; fi
  if [ -n "${prefix:-}" ]; then WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; fi
  tarvik_display_stop
}
trap cleanup EXIT
# The interpreter itself, not a wrapper that would outlive its kill.
python="$(python3 -c 'import sys; print(sys.executable)')"
"$python" "$root/tests/release/timestamp_server.py" "$tsa_port" "$work/tsa.pem" "$work/tsa.key" "$work" &
tsa_server=$!
for _ in $(seq 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$tsa_port") 2>/dev/null && break
  sleep 0.1
done
certificate_password="$(openssl rand -hex 16)"
openssl pkcs12 -export -in signer.pem -inkey signer.key -out signer.p12 -passout "pass:$certificate_password"
minisign_password="$(openssl rand -hex 16)"
printf '%s\n%s\n' "$minisign_password" "$minisign_password" | minisign -G -p release.pub -s release.key >/dev/null

echo "signing test: release with a certificate and a password-protected minisign key"
(cd "$second_src" && TARVIK_SIGN_PASSWORD="$certificate_password" TARVIK_MINISIGN_PASSWORD="$minisign_password" \
  TARVIK_TIMESTAMP_URL="http://127.0.0.1:$tsa_port/" tools/release.sh --certificate "$work/signer.p12" --key "$work/release.key" --build-dir "$second") ||
  fail "the signed release failed"
grep -rqs -e "$certificate_password" -e "$minisign_password" "$second" "$second_src" &&
  fail "a password was written into the build"

authenticode_ok() {
  osslsigncode verify -CAfile "$work/signer.pem" -TSA-CAfile "$work/tsa.pem" -in "$1" >"$work/verify.log" 2>&1 &&
    grep -q "Timestamp Server Signature verification: ok" "$work/verify.log"
}
verify_says() {
  if grep -q '^Succeeded' "$work/verify.log"; then
    echo "signed, but no time stamp verified"
  else
    grep -v '^Failed$' "$work/verify.log" | grep -m1 -iE 'fail|error|no signature|unable' || tail -1 "$work/verify.log"
  fi
}
python3 -m zipfile -e "$out/$zip" zipped
authenticode_ok zipped/Lanceur_Tarvik.exe || fail "Lanceur_Tarvik.exe: $(verify_says)"
authenticode_ok "$out/$setup" || fail "$setup: $(verify_says)"
osslsigncode verify -CAfile stranger.pem -TSA-CAfile tsa.pem -in "$out/$setup" >/dev/null 2>&1 &&
  fail "$setup verifies against a certificate that did not sign it"

osslsigncode remove-signature -in zipped/Lanceur_Tarvik.exe -out unsigned.exe >/dev/null
cmp unsigned.exe "$first/Lanceur_Tarvik.exe" ||
  fail "without its signature, Lanceur_Tarvik.exe is not the unsigned one of the other build"

# What the installer writes: the signed launcher and a signed uninstaller,
# which still uninstalls.
prefix="$work/wineprefix"
w() { "$root/cmake/wine-run.sh" "$prefix" "$@"; }
w "$out/$setup" /S '/D=C:\Tarvik' || fail "the signed installer failed"
installed="$prefix/drive_c/Tarvik"
cmp "$installed/Lanceur_Tarvik.exe" zipped/Lanceur_Tarvik.exe || fail "the installer did not install the signed launcher"
authenticode_ok "$installed/Uninstall.exe" || fail "Uninstall.exe: $(verify_says)"
w 'C:\Tarvik\Uninstall.exe' /S || fail "the signed uninstaller failed"
WINEPREFIX="$prefix" wineserver -w
[ ! -e "$installed" ] || fail "the signed uninstaller left $(ls -A "$installed")"

minisign_ok() {
  local comment
  comment="$(minisign -V -Q -p "$2" -m "$out/$1")" || fail "minisign refuses $1"
  [ "$comment" = "version:$file_version file:$1" ] || fail "$1: trusted comment \"$comment\""
}
for file in "$setup" "$zip" SHA256SUMS; do
  minisign_ok "$file" release.pub
done
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"

# Unencrypted key, no certificate: nothing Authenticode-signed, the same bytes
# as the unsigned build, and minisign signatures all the same.
echo "signing test: release with an unencrypted minisign key only"
minisign -G -W -p bare.pub -s bare.key >/dev/null
(cd "$second_src" && tools/release.sh --key "$work/bare.key" --build-dir "$second") ||
  fail "the release with a bare key failed"
for file in "$setup" "$zip" SHA256SUMS; do
  cmp "$out/$file" "$first/release/$file" || fail "$file is not the unsigned one"
  minisign_ok "$file" bare.pub
done
echo "signing test: passed"

#!/bin/bash
# Cuts a release of the checked-out commit: builds the launcher and packs the
# release artefacts, byte for byte the same on every build of that commit,
# then signs them when given a certificate and a key.
#
#   tools/release.sh [--certificate <file.p12>] [--key <minisign.key>]
#                    [--build-dir <folder>]        (default: build/release)
#
# Secrets come from the environment only, never from a file of the project:
#   TARVIK_SIGN_PASSWORD      password of the PKCS#12 file
#   TARVIK_MINISIGN_PASSWORD  password of the minisign key (none for -G -W)
#   TARVIK_TIMESTAMP_URL      RFC 3161 time-stamp server for Authenticode (optional)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

usage() {
  echo "usage: tools/release.sh [--certificate <file.p12>] [--key <minisign.key>] [--build-dir <folder>]" >&2
  exit 2
}
readable() {
  [ -f "$1" ] && [ -r "$1" ] || { echo "release: cannot read $1" >&2; exit 2; }
  realpath "$1"
}

# The options are the only inputs: a certificate left in the environment by
# an earlier shell does not sign this release.
unset TARVIK_SIGN_PKCS12 TARVIK_MINISIGN_KEY
build="$root/build/release"
while (($#)); do
  case "$1" in
    --certificate) (($# >= 2)) || usage; TARVIK_SIGN_PKCS12="$(readable "$2")"; export TARVIK_SIGN_PKCS12; shift 2 ;;
    --key) (($# >= 2)) || usage; TARVIK_MINISIGN_KEY="$(readable "$2")"; export TARVIK_MINISIGN_KEY; shift 2 ;;
    --build-dir) (($# >= 2)) || usage; build="$(realpath -m "$2")"; shift 2 ;;
    *) usage ;;
  esac
done

cd "$root"
tools/setup.sh

# Every date in the artefacts is the commit's.
commit="$(git rev-parse --short HEAD 2>/dev/null || echo "no commit")"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(git log -1 --format=%ct 2>/dev/null)" ||
    { echo "release: not a git checkout: set SOURCE_DATE_EPOCH to the time of the sources" >&2; exit 2; }
  export SOURCE_DATE_EPOCH
fi
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "release: warning: changes that commit $commit does not hold are built in" >&2
fi

cmake --preset release -B "$build" >/dev/null
cmake --build "$build" --target release_artifacts

out="$build/release"
authenticode="not Authenticode-signed (no --certificate)"
if [ -n "${TARVIK_SIGN_PKCS12:-}" ]; then
  authenticode="Authenticode-signed, as are the launcher and the uninstaller inside it"
fi
echo
echo "Release of $commit in $out:"
for file in "$out"/*; do
  name="$(basename "$file")"
  case "$name" in
    *.minisig) what="minisign signature of ${name%.minisig}, trusted comment \"version:... file:...\":
      for minisign -V, and for the launcher's update check" ;;
    LanceurTarvik-Setup-*.exe) what="the installer for pilots, also what the status server offers as
      the update; $authenticode" ;;
    *.zip) what="Lanceur_Tarvik.exe and alerte.wav, for an install by hand or a packager" ;;
    SHA256SUMS) what="the SHA-256 of the installer and the zip, for sha256sum -c" ;;
    *) what="" ;;
  esac
  printf '  %s\n      %s\n' "$name" "$what"
done

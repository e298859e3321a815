#!/bin/bash
# Packs the release artefacts from a built launcher (CMake target
# release_artifacts runs it on every build):
#   release-artifacts.sh <out folder> <version> <four-number version>
#                        <seconds since 1970> <Lanceur_Tarvik.exe> <alerte.wav> <script.nsi>
#                        -- <makensis and its common options>
# Signs when the environment says how (nothing of it is ever stored):
#   TARVIK_SIGN_PKCS12, TARVIK_SIGN_PASSWORD, TARVIK_TIMESTAMP_URL
#       Authenticode (see sign-exe.sh): the launcher before it is packed,
#       the uninstaller inside the installer, the installer;
#   TARVIK_MINISIGN_KEY, TARVIK_MINISIGN_PASSWORD
#       minisign secret key and its password (none for a key made with -W):
#       a <file>.minisig beside every artefact and beside SHA256SUMS.
set -euo pipefail
out="$1" version="$2" file_version="$3" epoch="$4" launcher="$5" alerte="$6" script="$7"
shift 7
[ "${1:-}" = "--" ] || { echo "release-artifacts.sh: -- <makensis ...> expected" >&2; exit 2; }
shift
makensis=("$@")
here="$(cd "$(dirname "$0")" && pwd)"

setup="LanceurTarvik-Setup-$version.exe"
zip="LanceurTarvik-$version.zip"
stage="$out.stage"
rm -rf "$out" "$stage"
mkdir -p "$out" "$stage"
cp "$launcher" "$stage/Lanceur_Tarvik.exe"
cp "$alerte" "$stage/alerte.wav"

sign_uninstaller=()
if [ -n "${TARVIK_SIGN_PKCS12:-}" ]; then
  "$here/sign-exe.sh" "$stage/Lanceur_Tarvik.exe"
  sign_uninstaller=("-DSIGN_UNINSTALLER=$here/sign-exe.sh")
fi
"${makensis[@]}" "-DLAUNCHER_EXE=$stage/Lanceur_Tarvik.exe" "-DALERTE_WAV=$stage/alerte.wav" \
  "-DOUTFILE=$out/$setup" "${sign_uninstaller[@]}" "$script"
if [ -n "${TARVIK_SIGN_PKCS12:-}" ]; then
  "$here/sign-exe.sh" "$out/$setup"
fi

python3 "$here/make-zip.py" "$out/$zip" "$epoch" "$stage/Lanceur_Tarvik.exe" "$stage/alerte.wav"
(cd "$out" && sha256sum "$setup" "$zip" > SHA256SUMS)

if [ -n "${TARVIK_MINISIGN_KEY:-}" ]; then
  # The launcher's update check reads "version:A.B.C.D" from the trusted
  # comment, which the signature covers.
  for file in "$setup" "$zip" SHA256SUMS; do
    # Not through a pipe: minisign reads no password for a key made with -W,
    # and the pipe's writer would die of it.
    minisign -S -s "$TARVIK_MINISIGN_KEY" -m "$out/$file" -t "version:$file_version file:$file" \
      <<< "${TARVIK_MINISIGN_PASSWORD:-}" >/dev/null
  done
fi
rm -rf "$stage"

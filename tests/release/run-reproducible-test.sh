#!/bin/bash
# Builds the release twice with tools/release.sh, from two copies of the
# sources in two folders, at two times, under two time zones, locales and
# umasks, and compares the artefacts byte for byte. Where they differ, says
# which file and from which offset.
#
#   run-reproducible-test.sh <source root> <work folder>
#
# Leaves <work folder>/first/build and <work folder>/second/.../build behind
# for the signing test.
set -euo pipefail
source_root="$(realpath "$1")" work="$(realpath -m "$2")"
fail() { echo "reproducible test: $*" >&2; exit 1; }

# The commit's time, as tools/release.sh would take it; the copies have no
# history of their own.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(git -C "$source_root" log -1 --format=%ct)"
fi
export SOURCE_DATE_EPOCH
unset TARVIK_SIGN_PKCS12 TARVIK_SIGN_PASSWORD TARVIK_MINISIGN_KEY TARVIK_MINISIGN_PASSWORD

# The files of the working tree that git does not ignore: what is tested,
# committed or not (a deleted one is left out). libjpeg-turbo's unpacked
# source is shared.
copy_sources() {
  local to="$1"
  rm -rf "$to"
  mkdir -p "$to"
  # Extracted with the time of the copy (-m), not that of the sources.
  (cd "$source_root" && git ls-files -z --cached --others --exclude-standard ':!:.deps' |
    tar --null -T - --ignore-failed-read -cf - 2>/dev/null) |
    tar -xmf - -C "$to"
  ln -s "$(realpath "$source_root/.deps")" "$to/.deps"
}

first="$work/first"
# Another depth and name; no blank: libsodium's autotools build refuses one.
second="$work/second/a-longer-folder"
rm -rf "$work"
mkdir -p "$work"
echo "$SOURCE_DATE_EPOCH" > "$work/source-date-epoch"
copy_sources "$first/src"
(cd "$first/src" && umask 022 && TZ=UTC LC_ALL=C tools/release.sh --build-dir "$first/build") ||
  fail "the first build failed"
# Another second on the clock, at the least, for every time that leaks in.
sleep 2
copy_sources "$second/src"
(cd "$second/src" && umask 077 && TZ=Pacific/Chatham LC_ALL=C.UTF-8 tools/release.sh --build-dir "$second/build") ||
  fail "the second build failed"

differences=0
compare() {
  local name="$1" one="$2" two="$3" first_byte count
  if ! [ -f "$one" ] || ! [ -f "$two" ]; then
    echo "$name: in one build only" >&2
    differences=$((differences + 1))
    return
  fi
  if cmp -s "$one" "$two"; then
    echo "same: $name ($(stat -c %s "$one") bytes, sha256 $(sha256sum < "$one" | cut -c1-64))"
    return
  fi
  # cmp counts bytes from 1; the offset is counted from 0.
  first_byte="$( (cmp "$one" "$two" || true) | sed -n 's/.* differ: byte \([0-9]*\),.*/\1/p')"
  count="$( (cmp -l "$one" "$two" 2>/dev/null || true) | wc -l)"
  if [ -n "$first_byte" ]; then
    printf '%s: differs from offset %d (0x%x), %d bytes differ, sizes %d and %d\n' "$name" \
      $((first_byte - 1)) $((first_byte - 1)) "$count" "$(stat -c %s "$one")" "$(stat -c %s "$two")" >&2
  else
    printf '%s: one is a prefix of the other, sizes %d and %d\n' "$name" \
      "$(stat -c %s "$one")" "$(stat -c %s "$two")" >&2
  fi
  differences=$((differences + 1))
}

compare Lanceur_Tarvik.exe "$first/build/Lanceur_Tarvik.exe" "$second/build/Lanceur_Tarvik.exe"
compare alerte.wav "$first/build/alerte.wav" "$second/build/alerte.wav"
artefacts="$( (ls "$first/build/release" "$second/build/release" 2>/dev/null || true) | grep -v -e '^$' -e ':$' | sort -u)"
[ -n "$artefacts" ] || fail "no release artefacts"
while read -r name; do
  compare "$name" "$first/build/release/$name" "$second/build/release/$name"
done <<< "$artefacts"

((differences == 0)) || fail "$differences files differ between the two builds"
echo "reproducible test: both builds gave the same bytes"

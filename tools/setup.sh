#!/bin/bash
# Installs, on Debian 12 as root, what the build, the demo and the tests need,
# and unpacks libjpeg-turbo's and libsodium's sources from Debian. Does
# nothing twice.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev python3 openssl
  mingw-w64 g++-mingw-w64-x86-64-posix nasm dpkg-dev googletest
  wine wine64 xvfb xauth x11-utils openbox imagemagick
  icoutils fonts-dejavu-core espeak-ng sox nsis iproute2 osslsigncode minisign
  autoconf automake libtool make git
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Source entries beside the machine's own binary ones, so that apt-get
# source can fetch the libraries' sources from the same archive.
add_source_entries() {
  local added=0 file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] && grep -q '^Types: deb$' "$file" || continue
    sed 's/^Types: deb$/Types: deb-src/' "$file" > "/etc/apt/sources.list.d/tarvik-src-$(basename "$file")"
    added=1
  done
  if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
    sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list > /etc/apt/sources.list.d/tarvik-src.list
    added=1
  fi
  ((added)) && apt-get update -qq
}

# Unpacks Debian's source package $1 into .deps/$1 unless $2 is already there.
fetch_source() {
  local package="$1" target="$root/.deps/$1" work
  [ -f "$target/$2" ] && return 0
  if ! grep -Rqs -e '^Types:.*deb-src' -e '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    add_source_entries
  fi
  work="$(mktemp -d "$root/.deps-XXXXXX")"
  (cd "$work" && apt-get source -qq "$package" >/dev/null 2>&1)
  mkdir -p "$root/.deps"
  rm -rf "$target"
  mv "$work"/"$package"-*/ "$target"
  rm -rf "$work"
  echo "setup: $package source in $target"
}

fetch_source libjpeg-turbo CMakeLists.txt
fetch_source libsodium configure.ac
# Debian's libsodium source comes without its configure script. Made here with
# the machine's autotools (not its autogen.sh, which fetches from the network).
if [ ! -x "$root/.deps/libsodium/configure" ]; then
  (cd "$root/.deps/libsodium" && autoreconf -fi >/dev/null 2>&1)
  echo "setup: libsodium configure script made"
fi

#!/bin/bash
# Builds the launcher and every test, then runs them all: unit tests and
# end-to-end tests of the real executable under Wine, then the pure logic
# under the sanitizers and its fuzzers.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
tools/setup.sh

cmake --preset test >/dev/null
cmake --build --preset test
status=0
ctest --preset test || status=$?

# The pure logic again, built for Linux under the sanitizers, and fuzzed.
cmake -S tests/native -B build/native -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/native
ctest --test-dir build/native --output-on-failure --no-tests=error || status=$?

# Screenshots of the run, as PNG beside the BMP that the tests wrote.
for shot in build/test/artifacts/*.bmp; do
  [ -e "$shot" ] && convert "$shot" -alpha off "${shot%.bmp}.png"
done
exit "$status"

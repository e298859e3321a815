#!/bin/bash
# Makes a Wine prefix of the project once (see tarvik_wine_prefix in
# tools/wine-env.sh); the DPI comes from TARVIK_WINE_DPI.
set -euo pipefail
. "$(dirname "$0")/../tools/wine-env.sh"
tarvik_wine_prefix "$1"

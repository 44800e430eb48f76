#!/usr/bin/env bash
# Writes the deterministic benchmark corpus into DIR (about 320 MB):
#   24 photo-like RGB 2400x1800 LZW TIFFs, 8 three-page 1200x900 TIFFs,
#   8 16-bit grey 2000x1500 TIFFs, 8 bilevel CCITT G4 2480x3508 TIFFs.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: bench/make-corpus.sh DIR" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" >/dev/null
cmake --build "$build" --target make-corpus >/dev/null
"$build/tools/make-corpus" "$1"

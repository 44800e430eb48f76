#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
cd "${TESSALINE_BUILD_DIR:-$root/build}"
ctest --output-on-failure --parallel "$(nproc)"

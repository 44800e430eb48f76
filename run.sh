#!/usr/bin/env bash
# Installs what is missing, builds when sources changed, and runs tessaline with the given arguments.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" >&2
exec "${TESSALINE_BUILD_DIR:-$root/build}/tessaline" "$@"

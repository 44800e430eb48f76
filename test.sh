#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once as built for users, once under
# AddressSanitizer and UndefinedBehaviorSanitizer, with libtiff built with them too (built once from
# Debian's source package and cached: scripts/build-sanitized-libtiff.sh). Exits non-zero on any
# failure or sanitizer report.
#   ./test.sh            both passes
#   ./test.sh --quick    the normal pass only
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" = "--quick" ]; then
  "$root/scripts/install-deps.sh"
else
  "$root/scripts/install-deps.sh" --sanitize
fi
# The include order of src/ (rooms, no circles) is checked before anything is built.
python3 "$root/scripts/check-includes.py"

run_suite() {
  local build=$1
  shift
  TESSALINE_BUILD_DIR=$build "$root/scripts/build.sh" "$@"
  (cd "$build" && ctest --output-on-failure --parallel "$(nproc)" --timeout 600)
}

run_suite "${TESSALINE_BUILD_DIR:-$root/build}"
if [ "${1:-}" != "--quick" ]; then
  # Reports abort the test that triggers them, so any report fails the suite.
  export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:check_initialization_order=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
  run_suite "$root/build-sanitize" -DTESSALINE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
fi

#!/usr/bin/env bash
# Builds Tessaline with ThreadSanitizer into build-tsan/ and runs the console end-to-end tests
# there: their runs convert with one worker per core unless a test chooses otherwise, so on two or
# more cores any data race in the parallel run is reported and fails the test that triggers it.
#   scripts/check-threads.sh [GTEST_FILTER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-tsan
"$root/scripts/install-deps.sh"
TESSALINE_BUILD_DIR=$build "$root/scripts/build.sh" -DTESSALINE_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 suppressions=$root/scripts/tsan.supp"
"$build/tests/e2e_tests" --gtest_filter="${1:-*}"

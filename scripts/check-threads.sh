#!/usr/bin/env bash
# Builds Tessaline with ThreadSanitizer into build-tsan/ and runs the end-to-end tests there: the
# console runs, which convert with one worker per core unless a test chooses otherwise, and the
# window tests on an X display of their own (skipped when Xvfb or openbox is missing). A race (or a
# lock-order cycle) reported in the program ends it with status 66 and fails the test that triggered
# it; reports from inside libraries built without the sanitizer are suppressed in tsan.supp, each
# with its reason. The tests wait longer for the program in this build (tests/support/patience.h).
#   scripts/check-threads.sh [GTEST_FILTER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-tsan
"$root/scripts/install-deps.sh"
TESSALINE_BUILD_DIR=$build "$root/scripts/build.sh" -DTESSALINE_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 suppressions=$root/scripts/tsan.supp"
"$build/tests/e2e_tests" --gtest_filter="${1:-*}"

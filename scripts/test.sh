#!/usr/bin/env bash
# Sets up, builds and runs every test twice: a plain build, then the whole suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/check_format.sh"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

"$root/scripts/build.sh" "$root/build" -DBRINDLECOT_BUILD_TESTS=ON -DBRINDLECOT_BUILD_BENCHMARKS=ON
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$root/scripts/build.sh" "$root/build-sanitize" -DBRINDLECOT_SANITIZE=ON -DBRINDLECOT_BUILD_TESTS=ON -DBRINDLECOT_BUILD_BENCHMARKS=OFF
ctest --test-dir "$root/build-sanitize" --output-on-failure -j "$jobs"

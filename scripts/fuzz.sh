#!/usr/bin/env bash
# Fuzzes one harness of fuzz/ for a given time with libFuzzer (clang).
# Usage: fuzz.sh HARNESS [SECONDS]   e.g. fuzz.sh template_definition 600
# New inputs go to build-fuzz/corpus/HARNESS (the committed seeds are read, never
# written); a crashing input is saved under build-fuzz/artifacts/HARNESS/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
harness=${1:?usage: fuzz.sh HARNESS [SECONDS]}
seconds=${2:-600}
"$root/scripts/setup.sh"
build="$root/build-fuzz"
CC=clang CXX=clang++ "$root/scripts/build.sh" "$build" -DBRINDLECOT_FUZZ=ON \
  -DBRINDLECOT_BUILD_TESTS=OFF -DBRINDLECOT_BUILD_BENCHMARKS=OFF -DBRINDLECOT_BUILD_GUI=OFF
work="$build/corpus/$harness"
artifacts="$build/artifacts/$harness"
mkdir -p "$work" "$artifacts"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$build/fuzz/${harness}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
  -rss_limit_mb=4096 -timeout=10 -artifact_prefix="$artifacts/" \
  "$work" "$root/fuzz/corpus/$harness"

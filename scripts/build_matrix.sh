#!/usr/bin/env bash
# Builds and tests every standard configuration: GCC Debug, Release and RelWithDebInfo,
# and clang (RelWithDebInfo). Slow; the test command covers RelWithDebInfo and the
# sanitizers, this covers what a packager or a maintainer's compiler may choose.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
run() {
  local name=$1; shift
  echo "== $name"
  "$root/scripts/build.sh" "$root/build-$name" -DBRINDLECOT_BUILD_TESTS=ON \
    -DBRINDLECOT_BUILD_BENCHMARKS=ON "$@"
  ctest --test-dir "$root/build-$name" --output-on-failure -j "$jobs"
}
run debug -DCMAKE_BUILD_TYPE=Debug
run release -DCMAKE_BUILD_TYPE=Release
run relwithdebinfo -DCMAKE_BUILD_TYPE=RelWithDebInfo
CC=clang CXX=clang++ run clang -DCMAKE_BUILD_TYPE=RelWithDebInfo

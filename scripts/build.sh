#!/usr/bin/env bash
# Configures and builds one build folder. Usage: build.sh BUILD_DIR [cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$1; shift
jobs=$(nproc)
launcher=()
# A compiler cache, where the machine has one, makes rebuilding several configurations cheap.
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root"  # several checkouts of the tree share their cache hits
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$build_dir" -j "$jobs"

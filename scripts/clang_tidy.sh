#!/usr/bin/env bash
# Runs clang-tidy (checks in the root .clang-tidy) over the product code of a build folder
# that has been built (its compile_commands.json and generated sources are used).
# Usage: clang_tidy.sh [BUILD_DIR] [FOLDER...]; default build/ and every product folder.
# Fails on any finding.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build}
shift || true
folders=("$@")
[ ${#folders[@]} -gt 0 ] || folders=(app cli controls cryptlib filecrypt resources template)
pattern="^$root/($(IFS='|'; echo "${folders[*]}"))/"
# A GCC build's compile commands carry GCC-only warning options that clang does not know.
run-clang-tidy -p "$build_dir" -j "$(nproc)" -quiet -warnings-as-errors='*' \
  -extra-arg=-Wno-unknown-warning-option "$pattern"

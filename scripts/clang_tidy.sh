#!/usr/bin/env bash
# Runs clang-tidy (checks in the root .clang-tidy) over the product code of a build folder
# that has been built (its compile_commands.json and generated sources are used).
# Usage: clang_tidy.sh [BUILD_DIR] [FOLDER...]; default build/ and every product folder.
# Prints each finding once and fails when there is any.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build}
shift || true
folders=("$@")
[ ${#folders[@]} -gt 0 ] || folders=(base template workbook filecrypt commands gui cli cryptlib)
pattern="^$root/($(IFS='|'; echo "${folders[*]}"))/"
output=$(mktemp)
trap 'rm -f "$output"' EXIT
# A GCC build's compile commands carry GCC-only warning options that clang does not know.
# run-clang-tidy fails only when a file cannot be checked; findings are counted below.
status=0
run-clang-tidy -p "$build_dir" -j "$(nproc)" -quiet -extra-arg=-Wno-unknown-warning-option \
  "$pattern" >"$output" 2>&1 || status=$?
# A header included from several files is reported once per file.
findings=$(sed 's/\x1b\[[0-9;]*m//g' "$output" | grep -E ': (warning|error): ' | sort -u || true)
if [ -n "$findings" ]; then
  printf '%s\n' "$findings"
  exit 1
fi
if [ "$status" -ne 0 ]; then
  cat "$output"
  exit "$status"
fi
echo "clang-tidy: no findings"

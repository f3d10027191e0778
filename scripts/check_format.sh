#!/usr/bin/env bash
# Fails when any tracked C or C++ file differs from what clang-format makes of it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h' '*.hpp' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' -o -name '*.c')
if ((${#files[@]} == 0)); then exit 0; fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "Formatting differs from .clang-format: run clang-format -i on the files above." >&2
  exit 1
fi

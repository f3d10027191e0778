#!/usr/bin/env bash
# Renders every dialog of the program, in both catalogues, to PNG files under
# build/screenshots/<dialog>-<simplified|traditional>.png, on a virtual X display with
# the real X11 platform and the CJK font, for people to look at.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/scripts/setup.sh"
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" -DBRINDLECOT_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target brindlecot_screenshots -j "$(nproc)"
rm -rf "$build/screenshots"
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb \
  "$build/brindlecot_screenshots" "$build/screenshots"

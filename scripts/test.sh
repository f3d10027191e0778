#!/usr/bin/env bash
# Sets up, builds and runs every test twice: a plain build, then the whole suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer. GUI tests run on Qt's offscreen
# platform and once more on a virtual X display (their `.xvfb` twins).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/check_format.sh"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

"$root/scripts/build.sh" "$root/build" -DBRINDLECOT_BUILD_TESTS=ON -DBRINDLECOT_BUILD_BENCHMARKS=ON
# Without xvfb-run the GUI tests would silently lose their X11 run.
if ! ctest --test-dir "$root/build" -N -R '\.xvfb$' | grep -q 'Total Tests: [1-9]'; then
  echo "No GUI tests under Xvfb: is xvfb-run installed (scripts/setup.sh)?" >&2
  exit 1
fi
if ! ctest --test-dir "$root/build" -N -R '\.wayland$' | grep -q 'Total Tests: [1-9]'; then
  echo "No GUI tests on Wayland: is weston installed (scripts/setup.sh)?" >&2
  exit 1
fi
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

# The Windows build, its exports and imports, and its tests under Wine against the build above.
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v i686-w64-mingw32-g++-posix >/dev/null &&
  { command -v wine64 >/dev/null || [[ -x /usr/lib/wine/wine64 ]]; }; then
  BRINDLECOT_NO_SETUP=1 "$root/scripts/build_windows.sh"
  "$root/scripts/test_windows.sh" "$root/build/stage"
else
  echo "Skipping the Windows build and its Wine tests: mingw-w64 (g++-mingw-w64-*-posix) or wine64 is not installed (scripts/setup.sh installs them)."
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$root/scripts/build.sh" "$root/build-sanitize" -DBRINDLECOT_SANITIZE=ON -DBRINDLECOT_BUILD_TESTS=ON -DBRINDLECOT_BUILD_BENCHMARKS=OFF
ctest --test-dir "$root/build-sanitize" --output-on-failure -j "$jobs"

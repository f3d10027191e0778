#!/usr/bin/env bash
# Sets up, builds and stages the program, then starts it from its staged folder with
# the shipped sample templates. Without a display it runs under a virtual one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" -DBRINDLECOT_BUILD_TESTS=OFF -DBRINDLECOT_BUILD_BENCHMARKS=OFF
stage="$root/build/stage"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "No display found: starting Brindlecot under Xvfb (xvfb-run)." >&2
  exec xvfb-run -a "$stage/Brindlecot" "$@"
fi
exec "$stage/Brindlecot" "$@"

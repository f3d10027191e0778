#!/usr/bin/env bash
# Checks what a screen reader finds: every window of the program, shown at once on a
# virtual display with a session bus and the AT-SPI accessibility bus, is walked through
# that bus, and any focusable object without a name fails the check. Prints each window's
# named controls. Usage: accessibility_check.sh [BUILD_DIR] (default build/, built with
# the tests, as scripts/test.sh builds it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
program="$build/brindlecot_screenshots"
[[ -x "$program" ]] || { echo "no $program: build with -DBRINDLECOT_BUILD_TESTS=ON" >&2; exit 1; }

# Inside a virtual display and a private session bus, whose activation starts the
# accessibility bus; Qt exposes its widgets there when told to always do so.
inner=$(cat <<'INNER'
set -euo pipefail
program=$1; walker=$2
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# The buses' sockets go to a runtime folder of this run, not the user's home.
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
chmod 0700 "$XDG_RUNTIME_DIR"
out=$XDG_RUNTIME_DIR/windows
# The accessibility bus runs, and says so, before the program looks for it, as on a
# desktop where a screen reader is on.
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
  --method org.a11y.Bus.GetAddress >/dev/null
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
  --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' >/dev/null
"$program" --show-all >"$out" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$XDG_RUNTIME_DIR"' EXIT
for _ in $(seq 300); do [[ -s "$out" ]] && break; kill -0 "$pid" || exit 1; sleep 0.1; done
windows=$(head -1 "$out")
# The Debian python that python3-pyatspi installs into, whatever else is on the PATH.
/usr/bin/python3 "$walker" "$(basename "$program")" "$windows"
INNER
)
xvfb-run -a -s "-screen 0 1600x1200x24" dbus-run-session -- \
  bash -c "$inner" check "$program" "$root/scripts/accessibility_tree.py"

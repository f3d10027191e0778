#!/usr/bin/env bash
# Runs a command as a Wayland client of its own headless weston, the way xvfb-run runs
# one on a virtual X display: run_on_weston.sh COMMAND [ARGUMENTS...]
# Weston wants a runtime folder only its user can enter; the CI machine runs as root,
# which has none, so each run makes a fresh one and removes it afterwards.
set -euo pipefail
runtime=$(mktemp -d "${TMPDIR:-/tmp}/brindlecot-weston.XXXXXX")
chmod 0700 "$runtime"
weston_pid=
cleanup() {
  if [[ -n "$weston_pid" ]]; then
    kill "$weston_pid" 2>/dev/null || true
    wait "$weston_pid" 2>/dev/null || true
  fi
  rm -rf "$runtime"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$runtime
socket=wayland-brindlecot
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 --no-config \
  --width=1280 --height=1024 >"$runtime/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
  [[ -S "$runtime/$socket" ]] && break
  kill -0 "$weston_pid" 2>/dev/null || { cat "$runtime/weston.log" >&2; exit 1; }
  sleep 0.1
done
[[ -S "$runtime/$socket" ]] || { echo "weston did not start" >&2; cat "$runtime/weston.log" >&2; exit 1; }
# A headless weston has a seat without a keyboard, and Qt 6.4's Wayland text-input
# context then dereferences the missing input device on the first key an edit box gets:
# no input method here (desktops have a keyboard). A crash must fail the test at once
# rather than wait for QtTest's debugger to attach.
status=0
env -u DISPLAY WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland QT_IM_MODULE=none \
  QTEST_DISABLE_STACK_DUMP=1 "$@" || status=$?
exit "$status"

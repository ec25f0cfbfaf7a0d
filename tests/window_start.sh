#!/usr/bin/env bash
# The launcher opens its window on a real X display, refuses a second copy,
# and ends with status 0 when its window is closed.
source "$(dirname "$0")/window_lib.bash"
start_xvfb
ROOT="$WORK/X-Plane 12"
"$SRC/tools/make_demo.sh" "$BUILD" "$WORK"

"$BUILD/orvane-launcher" --root "$ROOT/" 2>"$WORK/err1" &
L=$!; PIDS+=("$L")
WIN=$(find_window) || fail "no window"
shot_until window_start 232 70 63 20 || fail "logo not drawn"

# A second launcher waits for the lock about 12 s, then says so and exits 0.
set +e
timeout 30 "$BUILD/orvane-launcher" --root "$ROOT/" 2>"$WORK/err2"
rc=$?
set -e
[ "$rc" = 0 ] || fail "second launcher exit status $rc"
grep -qx "Orvane Launcher is already running." "$WORK/err2" || fail "no already-running line"

"$BUILD/xclose" "$WIN"
wait_exit "$L" 10
[ "$RC" = 0 ] || fail "launcher did not end with 0 after close ($RC)"
! grep -q "GLFW" "$WORK/err1" || fail "GLFW errors: $(cat "$WORK/err1")"
echo "ok"

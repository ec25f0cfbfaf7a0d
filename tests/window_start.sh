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
# The log pane's first line ("X-Plane: " + the root) is drawn in the text colour.
[ "$(count_colour_in "$ART/window_start.png" 30 460 400 24 230 235 242)" -gt 50 ] || fail "no first log line"

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
# Without a display: the designed message and status 1.
mkdir -p "$WORK/tmp2"
set +e
env -u DISPLAY -u WAYLAND_DISPLAY TMPDIR="$WORK/tmp2" "$BUILD/orvane-launcher" --root "$ROOT/" 2>"$WORK/err3"
rc=$?
set -e
[ "$rc" = 1 ] || fail "without a display the exit status was $rc"
grep -qx "Orvane Launcher: no display - GLFW would not start." "$WORK/err3" || fail "no no-display line: $(cat "$WORK/err3")"
echo "ok"

#!/usr/bin/env bash
# The demo end to end through the real window: install the plugin, suppress,
# restore, then launch the stand-in simulator, checking the files on disk and
# the window's status dots at each step. Screenshots go to build/test-artifacts/.
source "$(dirname "$0")/window_lib.bash"
start_xvfb
"$SRC/tools/make_demo.sh" "$BUILD" "$WORK"
ROOT="$WORK/X-Plane 12"
PLUGIN="$ROOT/Resources/plugins/Orvane"
GLOBAL="$ROOT/Global Scenery/Global Airports/Earth nav data/apt.dat"
PACK="$ROOT/Custom Scenery/Demo Sceneries XDMB/Earth nav data/apt.dat"
cp "$GLOBAL" "$WORK/global.orig"
cp "$PACK" "$WORK/pack.orig"

"$BUILD/orvane-devserver" "$WORK/server" >"$WORK/server.out" 2>/dev/null &
PIDS+=("$!")
wait_for 10 test -s "$WORK/server.out" || fail "no dev server"
PORT=$(head -n 1 "$WORK/server.out")

"$BUILD/orvane-launcher" --root "$ROOT/" --host "127.0.0.1:$PORT" 2>"$WORK/err" &
L=$!; PIDS+=("$L")
find_window >/dev/null || fail "no window"

# Rows at the start: Server turns green once the check has fetched the map.
wait_pixel demo_1_start 98 161 "$GO" || fail "server row never turned green"
near "$(pixel "$ART/demo_1_start.png" 98 126)" "$STOP" || fail "plugin row should be red before install"

# Install (the row button), then the plugin file and version are on disk.
click 821 131
wait_for 20 test -f "$PLUGIN/lin_x64/Orvane.xpl" || fail "plugin not installed"
wait_for 10 grep -qx "1.2.0" "$PLUGIN/version.txt" || fail "version not written"
wait_pixel demo_2_installed 98 126 "$GO" || fail "plugin row not green after install"

# Without the Install button the rows close up: the action buttons sit at y 394.
click 305 394
wait_pixel demo_3_suppressed 98 178 "$GO" || fail "scenery row not green after suppress"
wait_for 10 test -f "$GLOBAL.orvane-orig" || fail "no backup of the global file"
cmp -s "$GLOBAL.orvane-orig" "$WORK/global.orig" || fail "backup differs from the original"
cmp -s "$GLOBAL" "$WORK/global.orig" && fail "global file was not rewritten"
cmp -s "$PACK" "$WORK/pack.orig" && fail "pack file was not rewritten"
grep -q '"XDMB"' "$PLUGIN/ftg_manifest.json" || fail "manifest lacks XDMB"
grep -q '"airports"' "$PLUGIN/orv_taken.json" || fail "no taken-runs record"

# Restore originals: byte for byte, no companions left.
sleep 1
click 490 394
wait_pixel demo_4_restored 98 178 "$AMBER" || fail "scenery row not amber after restore"
wait_for 10 cmp -s "$GLOBAL" "$WORK/global.orig" || fail "global file not restored"
cmp -s "$PACK" "$WORK/pack.orig" || fail "pack file not restored"
for f in "$GLOBAL" "$PACK"; do
  for s in .orvane-orig .orvane-cut .orvane-tmp; do
    [ -e "$f$s" ] && fail "left behind: $f$s"
  done
done

# Launch: suppresses again, starts the stand-in, sees it running, and closes.
sleep 1
click 110 394
wait_exit "$L" 60
[ "$RC" = 0 ] || fail "launcher did not close with 0 after the launch ($RC)"
SIM=$(pgrep -f "^$ROOT/X-Plane-x86_64" || true)
[ -n "$SIM" ] || fail "the stand-in simulator is not running"
PIDS+=($SIM)
[ -f "$ROOT/Log.txt" ] || fail "the simulator wrote no Log.txt"
[ -f "$GLOBAL.orvane-orig" ] || fail "launch did not suppress first"
! grep -q "GLFW" "$WORK/err" || fail "GLFW errors: $(cat "$WORK/err")"
echo "ok"

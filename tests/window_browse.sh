#!/usr/bin/env bash
# Without an X-Plane folder the window says where it looked, locks the scenery
# actions and offers Browse; a folder picked there is checked, taken and
# remembered. The picker is a stand-in "zenity" on PATH.
source "$(dirname "$0")/window_lib.bash"
start_xvfb
"$SRC/tools/make_demo.sh" "$BUILD" "$WORK"
ROOT="$WORK/X-Plane 12"
mkdir -p "$WORK/bin"
cat > "$WORK/bin/zenity" <<PICK
#!/bin/sh
echo "$WORK/X-Plane 12"
PICK
chmod +x "$WORK/bin/zenity"

PATH="$WORK/bin:$PATH" "$BUILD/orvane-launcher" 2>"$WORK/err" &
L=$!; PIDS+=("$L")
find_window >/dev/null || fail "no window"
wait_pixel browse_1_no_root 98 91 "$STOP" || fail "X-Plane row not red without a root"

click 830 96
wait_pixel browse_2_picked 98 91 "$GO" || fail "X-Plane row not green after Browse"
saved="$HOME/Library/Application Support/Orvane/xproot.txt"
wait_for 10 test -f "$saved" || fail "root not remembered"
[ "$(cat "$saved")" = "$ROOT/" ] || fail "remembered '$(cat "$saved")', wanted '$ROOT/'"
echo "ok"

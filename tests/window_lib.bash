# Shared by the window tests: a private Xvfb display, a private HOME and TMPDIR,
# and helpers to find, photograph and close the launcher's window.
# Not a test itself (sourced by tests/window_*.sh).
set -euo pipefail
BUILD="${1:?build folder}"
SRC="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ART="$BUILD/test-artifacts"
mkdir -p "$ART"
WORK="$(mktemp -d /tmp/orvl-wtest-XXXXXX)"
export HOME="$WORK/home" TMPDIR="$WORK/tmp"
mkdir -p "$HOME" "$TMPDIR"
XVFB_PID=""
PIDS=()

cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

start_xvfb() {
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1100x800x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "could not start Xvfb" >&2
  exit 1
}

# find_window: prints the id of the "Orvane Launcher" window, waiting up to 30 s.
find_window() {
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --name '^Orvane Launcher$' 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

shot() { import -window root "$ART/$1.png"; }

# count_colour_in FILE X Y W H R G B: the same inside one rectangle.
count_colour_in() {
  convert "$1" -crop "$4x$5+$2+$3" +repage -fuzz 6% -fill white -opaque "rgb($6,$7,$8)" \
    -fill black +opaque white -format '%[fx:mean*w*h]' info: | cut -d. -f1
}

# shot_until NAME R G B MIN: takes screenshots (up to 20 s) until at least MIN
# pixels of that colour show; false when they never do.
shot_until() {
  for _ in $(seq 40); do
    shot "$1"
    [ "$(count_colour "$ART/$1.png" "$2" "$3" "$4")" -ge "$5" ] && return 0
    sleep 0.5
  done
  return 1
}

# count_colour FILE R G B: number of pixels within a small distance of that colour.
count_colour() {
  convert "$1" -fuzz 4% -fill white -opaque "rgb($2,$3,$4)" -fill black +opaque white \
    -format '%[fx:mean*w*h]' info: | cut -d. -f1
}

# wait_exit PID SECONDS: waits for the process to end; sets RC to its exit
# status, or to "timeout". Call it directly, not in $(...): only this shell can wait.
wait_exit() {
  local pid=$1 s=$2
  RC=timeout
  for _ in $(seq $((s * 10))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      set +e; wait "$pid"; RC=$?; set -e
      return 0
    fi
    sleep 0.1
  done
}

fail() { echo "FAIL: $*" >&2; exit 1; }

# pixel FILE X Y: "R,G,B" of one pixel.
pixel() {
  convert "$1" -format '%[fx:int(255*p{'"$2"','"$3"'}.r)],%[fx:int(255*p{'"$2"','"$3"'}.g)],%[fx:int(255*p{'"$2"','"$3"'}.b)]' info:
}

# near R,G,B R,G,B: true when the two colours are within 12 per channel.
near() {
  local IFS=,
  read -r a b c <<<"$1"
  read -r x y z <<<"$2"
  (( a-x < 13 && x-a < 13 && b-y < 13 && y-b < 13 && c-z < 13 && z-c < 13 ))
}

# wait_pixel NAME X Y R,G,B: screenshots (up to 30 s) until that pixel shows the colour.
wait_pixel() {
  for _ in $(seq 60); do
    shot "$1"
    near "$(pixel "$ART/$1.png" "$2" "$3")" "$4" && return 0
    sleep 0.5
  done
  echo "pixel $2,$3 is $(pixel "$ART/$1.png" "$2" "$3"), wanted $4" >&2
  return 1
}

# wait_for SECONDS COMMAND...: retries the command every 0.2 s.
wait_for() {
  local s=$1; shift
  for _ in $(seq $((s * 5))); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

click() { xdotool mousemove "$1" "$2" click 1; }

GO=39,209,124
STOP=232,70,63
AMBER=236,166,60

#!/usr/bin/env bash
# The demo: the development server with the demo fixtures, a generated demo
# X-Plane folder, and the launcher pointed at both. Settings go to a demo home
# folder, so nothing of the user's own is touched.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$here/build}"
demo="${DEMO_DIR:-$here/demo-run}"
"$here/tools/make_demo.sh" "$build" "$demo"

mkdir -p "$demo/home" "$demo/tmp"
export HOME="$demo/home" TMPDIR="$demo/tmp"
"$build/orvane-devserver" "$demo/server" > "$demo/server.out" 2>"$demo/server.err" &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
port=""
for _ in $(seq 100); do
  port=$(head -n 1 "$demo/server.out" 2>/dev/null || true)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "the demo server did not start" >&2; exit 1; }
echo "Demo server on 127.0.0.1:$port; X-Plane folder: $demo/X-Plane 12/"
"$build/orvane-launcher" --root "$demo/X-Plane 12/" --host "127.0.0.1:$port"

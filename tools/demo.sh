#!/usr/bin/env bash
# Start the launcher on a generated demo X-Plane installation.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$here/build}"
demo="${DEMO_DIR:-$here/demo-run}"
root="$demo/X-Plane 12"
"$here/tools/make_demo_root.sh" "$root"
exec "$build/orvane-launcher" --root "$root/"

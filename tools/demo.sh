#!/usr/bin/env bash
# Start the launcher on a generated demo X-Plane installation.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$here/build}"
demo="${DEMO_DIR:-$here/demo-run}"
fonts=/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF

root="$demo/X-Plane 12"
mkdir -p "$root/Resources/fonts" "$root/Custom Scenery"
echo "12.1.0" > "$root/Resources/version.txt"
cp "$fonts/Roboto-Regular.ttf" "$fonts/Roboto-Bold.ttf" "$root/Resources/fonts/"
exec "$build/orvane-launcher" --root "$root/"

#!/usr/bin/env bash
# Generate a demo X-Plane 12 folder at $1 (created or refreshed).
set -euo pipefail
root="${1:?usage: make_demo_root.sh FOLDER}"
fonts=/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF
mkdir -p "$root/Resources/fonts" "$root/Custom Scenery"
echo "12.1.0" > "$root/Resources/version.txt"
cp "$fonts/Roboto-Regular.ttf" "$fonts/Roboto-Bold.ttf" "$root/Resources/fonts/"

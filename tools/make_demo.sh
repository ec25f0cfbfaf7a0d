#!/usr/bin/env bash
# Generate the demo: a fake X-Plane 12 folder whose airports have lit features
# under the demo geometry, and the demo server's fixture folder with a real
# plugin package.
#   make_demo.sh BUILD_DIR DEMO_DIR
# Makes DEMO_DIR/X-Plane 12/ and DEMO_DIR/server/ (both recreated).
set -euo pipefail
build="${1:?usage: make_demo.sh BUILD_DIR DEMO_DIR}"
demo="${2:?usage: make_demo.sh BUILD_DIR DEMO_DIR}"
here="$(cd "$(dirname "$0")" && pwd)"
fonts=/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF
root="$demo/X-Plane 12"
server="$demo/server"
rm -rf "$root" "$server"

# ---- the X-Plane folder
mkdir -p "$root/Resources/fonts" "$root/Resources/plugins" "$root/Custom Scenery" \
         "$root/Global Scenery/Global Airports/Earth nav data" \
         "$root/Custom Scenery/Demo Sceneries XDMB/Earth nav data"
echo "12.1.0" > "$root/Resources/version.txt"
cp "$fonts/Roboto-Regular.ttf" "$fonts/Roboto-Bold.ttf" "$root/Resources/fonts/"
cp "$build/orvane-xplane_standin" "$root/X-Plane-x86_64"

cat > "$root/Custom Scenery/scenery_packs.ini" <<'INI'
I
1000 Version
SCENERY

SCENERY_PACK Custom Scenery/Demo Sceneries XDMB/
SCENERY_PACK_DISABLED Custom Scenery/Old Demo Pack/
SCENERY_PACK *GLOBAL_AIRPORTS*
INI

# XDMA: taxiway A runs north along 7.80030 E under two stop bars and the FTG
# network; a lead-on line curves off east at the southern bar. Edge lights (102)
# stay. XDMC has nothing published and is left alone.
cat > "$root/Global Scenery/Global Airports/Earth nav data/apt.dat" <<'APT'
I
1200 Generated demo data, not for navigation

1 1500 0 0 XDMA Demo Field Alpha
1302 icao_code XDMA
1302 city Demo
100 45.00 1 0 0.25 0 2 0 09 46.50000 7.79900 0 0 3 2 1 0 27 46.50000 7.80300 0 0 3 2 1 0
120 Taxiway A centreline
111 46.50060 7.80030 51 101
111 46.50120 7.80030 51
111 46.50210 7.80032 51
111 46.50300 7.80030 51 101
111 46.50480 7.80030 51
115 46.50560 7.80030 51
120 Taxiway A edge
111 46.50060 7.80045 102
115 46.50560 7.80045 102
120 Holding point A1
111 46.50120 7.80010 103
115 46.50120 7.80050 103
120 Holding point A3
111 46.50480 7.80010 104
115 46.50480 7.80050 104
120 Lead-on A1
111 46.50120 7.80030 101
112 46.50130 7.80080 46.50140 7.80100 101
115 46.50150 7.80110 101
120 Taxiway B centreline
111 46.50300 7.80030 101
111 46.50310 7.80080
111 46.50310 7.80150
115 46.50300 7.80200

1 1500 0 0 XDMB Demo Field Bravo (base map)
1302 icao_code XDMB
120 Holding point B1
111 46.52010 7.83010 103
115 46.52010 7.83045 103

1 900 0 0 XDMC Demo Field Charlie
1302 icao_code XDMC
120 Taxiway C centreline
111 46.53000 7.85000 101
115 46.53100 7.85000 101
99
APT

# XDMB as drawn by the add-on "Demo Sceneries": its own map is the variant.
cat > "$root/Custom Scenery/Demo Sceneries XDMB/Earth nav data/apt.dat" <<'APT'
I
1200 Demo Sceneries - XDMB

1 1500 0 0 XDMB Demo Field Bravo
1302 icao_code XDMB
120 Holding point B1
111 46.52012 7.83008 103
115 46.52012 7.83048 103
120 Lead-on B1
111 46.52012 7.83028 101
115 46.52030 7.83070 101
120 Apron edge
111 46.52100 7.83100 102
115 46.52150 7.83100 102
99
APT

# ---- the server's fixtures, with a real plugin package
cp -r "$here/demo-fixtures" "$server"
rm -f "$server/README.md"
pkg="$demo/package/Orvane"
rm -rf "$demo/package"
mkdir -p "$pkg/lin_x64" "$pkg/mac_x64" "$pkg/resources"
printf 'Orvane demo plugin (Linux)\n' > "$pkg/lin_x64/Orvane.xpl"
printf 'Orvane demo plugin (macOS)\n' > "$pkg/mac_x64/Orvane.xpl"
printf '{\n "demosceneriesxdmb": "Demo Sceneries"\n}\n' > "$pkg/resources/publishers.json"
mkdir -p "$server/files"
(cd "$demo/package" && zip -qr "$server/files/Orvane-1.2.0.zip" Orvane)
rm -rf "$demo/package"

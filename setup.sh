#!/usr/bin/env bash
# Set up a fresh Debian 12 machine, build, then run the demo or the tests.
#   ./setup.sh demo    build and start the launcher on the demo installation and demo server
#   ./setup.sh test    build and run every test
#   ./setup.sh         install and build only
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake pkg-config ninja-build
          libimgui-dev libglfw3-dev libgl-dev
          nlohmann-json3-dev libcurl4-openssl-dev ca-certificates
          libgtest-dev libgmock-dev libcpp-httplib-dev zlib1g-dev
          xvfb xdotool imagemagick x11-utils libx11-dev
          fonts-roboto unzip libarchive-tools zip)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build

case "${1:-}" in
  demo) exec tools/demo.sh ;;
  test) exec ctest --test-dir build --output-on-failure -j2 ;;
  "")   ;;
  *)    echo "usage: $0 [demo|test]" >&2; exit 2 ;;
esac

#!/usr/bin/env bash
# Builds the Debian package in build-package/ and checks it: every file in
# place when unpacked into a scratch root, and the Qt runtime among its
# dependencies.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/deps.sh dpkg-dev file
build=build-package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j "$(nproc)" --target tavo tavo-organizer-sim
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tavo_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/tavo usr/bin/tavo-organizer-sim usr/share/applications/tavo.desktop \
         usr/share/icons/hicolor/scalable/apps/tavo.svg usr/share/doc/tavo/tavo_client.readme.html \
         usr/share/doc/tavo/tavo_client.license.html usr/share/doc/tavo/tavo_client_version.html; do
  [ -e "$root/$f" ] || { echo "package: missing $f"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6serialport6 qt6-qpa-plugins; do
  case "$depends" in *"$lib"*) ;; *) echo "package: $lib not among: $depends"; exit 1 ;; esac
done
echo "package: $(basename "$deb") ($(du -k "$deb" | cut -f1) KB), depends: $depends"

#!/usr/bin/env bash
# Builds the Debian package in build-package/ with Debian's hardening flags and
# checks it: every file in place when unpacked into a scratch root, the Qt
# runtime among its dependencies, and lintian without an error or a warning.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/deps.sh dpkg-dev file lintian man-db groff-base
build=build-package
# Fortified functions, stack protector, read-only relocations bound at start.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)" --target tavo tavo-organizer-sim tavo-cli \
  tavo_compressed_docs
rm -f "$build"/tavo_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tavo_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/tavo usr/bin/tavo-organizer-sim usr/bin/tavo-cli \
         usr/libexec/tavo/tavo-start usr/share/applications/tavo.desktop \
         usr/share/icons/hicolor/scalable/apps/tavo.svg usr/share/doc/tavo/tavo_client.readme.html \
         usr/share/doc/tavo/tavo_client.license.html usr/share/doc/tavo/tavo_client_version.html \
         usr/share/doc/tavo/copyright usr/share/doc/tavo/changelog.gz \
         usr/share/man/man1/tavo.1.gz usr/share/man/man1/tavo-organizer-sim.1.gz \
         usr/share/man/man1/tavo-cli.1.gz; do
  [ -e "$root/$f" ] || { echo "package: missing $f"; exit 1; }
done
grep -qx "Exec=/usr/libexec/tavo/tavo-start" "$root/usr/share/applications/tavo.desktop" ||
  { echo "package: the desktop entry does not start tavo-start"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6serialport6 qt6-qpa-plugins; do
  case "$depends" in *"$lib"*) ;; *) echo "package: $lib not among: $depends"; exit 1 ;; esac
done
# Errors and warnings fail; the informational tags are shown.
status=0
report=$(lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" 2>&1) || status=$?
grep -v "running with root privileges" <<<"$report" || true
[ "$status" -eq 0 ] || { echo "package: lintian found errors or warnings"; exit 1; }
echo "package: $(basename "$deb") ($(du -k "$deb" | cut -f1) KB), lintian clean, depends: $depends"

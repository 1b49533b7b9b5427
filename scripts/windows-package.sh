#!/usr/bin/env bash
# Builds the Windows installer, build-windows/tavo-setup-<version>.exe, with
# NSIS from the cross build, and tries it as a new user would under Wine, in a
# prefix of its own: a silent install into Program Files, Tavo started from its
# Start menu entry (in %APPDATA%\Tavo, where it leaves its settings at exit),
# and a silent uninstall that leaves those settings.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh cmake ninja-build g++-mingw-w64-x86-64-posix wine64 nsis xvfb xdotool
build=build-windows
if [ "${1:-}" != "--check-on-display" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVO_CORE_ONLY=ON -DTAVO_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTAVO_GTEST_SOURCE=/usr/src/googletest \
    >/dev/null
  cmake --build "$build" -j "$(nproc)" --target tavo
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  stage=$(mktemp -d)
  trap 'rm -rf "$stage"' EXIT
  cp "$build/src/winui/tavo.exe" docs/tavo_client*.html resources/windows/tavo.ico "$stage/"
  if [ -f "$build/cli/tavo-cli.exe" ]; then cp "$build/cli/tavo-cli.exe" "$stage/"; fi
  sed -e 's/<[^>]*>//g' -e 's/&copy;/(c)/g' -e '/^[[:space:]]*$/d' docs/tavo_client.license.html \
    >"$stage/license.txt"
  setup="$PWD/$build/tavo-setup-$version.exe"
  makensis -V2 -DVERSION="$version" -DSOURCE="$stage" -DOUTFILE="$setup" resources/windows/tavo.nsi
  echo "windows: $setup"
  xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --check-on-display "$setup"
  exit 0
fi

setup=$2
export WINEDEBUG=-all WINEPREFIX="$PWD/$build/wineprefix-install"
wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
rm -rf "$WINEPREFIX"
"$wine" wineboot --init >/dev/null 2>&1 || true
fail() { echo "windows installer: $*"; exit 1; }
"$wine" "$setup" /S
"$wineserver" -w
installed="$WINEPREFIX/drive_c/Program Files/Tavo"
for f in tavo.exe uninstall.exe tavo_client.readme.html tavo_client.license.html; do
  [ -f "$installed/$f" ] || fail "$f is not in Program Files"
done
entry="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tavo.lnk"
[ -f "$entry" ] || fail "no Start menu entry"

# Started from the entry; File, Exit by its access keys writes the settings.
"$wine" start /unix "$entry" 2>/dev/null
window=$(timeout 60 xdotool search --sync --name '^Tavo \(Client\)$' | head -n 1) ||
  fail "the installed program showed no window"
sleep 4  # the About window's two seconds at a first start
xdotool windowfocus --sync "$window"
xdotool key alt+f
sleep 1
xdotool key x
"$wineserver" -w
settings=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Roaming/Tavo/tavo_c.cfg' | head -n 1)
[ -n "$settings" ] || fail "no settings in %APPDATA%\\Tavo after the program ended"
[ "$(wc -l <"$settings")" -eq 12 ] || fail "the settings file does not have 12 lines"

"$wine" "$installed/uninstall.exe" /S
"$wineserver" -w
sleep 2
"$wineserver" -w
[ ! -e "$installed/tavo.exe" ] || fail "the uninstaller left tavo.exe"
[ ! -e "$entry" ] || fail "the uninstaller left the Start menu entry"
[ -f "$settings" ] || fail "the uninstaller removed the user's settings"
echo "windows installer: installed silently, started from the Start menu, uninstalled; settings kept"

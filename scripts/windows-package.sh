#!/usr/bin/env bash
# Builds the Windows downloads from the sources, in build-windows/:
#  - tavo-<version>-windows-x64.zip: tavo.exe, tavo-cli.exe (self-contained,
#    no Qt and no runtime DLLs), the help documents, the manual as text and
#    the license; its contents are checked and tavo-cli.exe started from it;
#  - tavo-setup-<version>.exe, with NSIS, tried as a new user would under Wine
#    in a prefix of its own: a silent install into Program Files, Tavo started
#    from its Start menu entry (in %APPDATA%\Tavo, where it leaves its
#    settings at exit), and a silent uninstall that leaves those settings.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-windows
if [ "${1:-}" = "--check-on-display" ]; then
  setup=$2
  export WINEDEBUG=-all WINEPREFIX="$PWD/$build/wineprefix-install"
  wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
  wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
  rm -rf "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
  fail() {
    echo "windows installer: $*"
    exit 1
  }
  "$wine" "$setup" /S
  "$wineserver" -w
  installed="$WINEPREFIX/drive_c/Program Files/Tavo"
  for f in tavo.exe tavo-cli.exe uninstall.exe tavo_client.readme.html tavo_client.license.html; do
    [ -f "$installed/$f" ] || fail "$f is not in Program Files"
  done
  entry="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tavo.lnk"
  [ -f "$entry" ] || fail "no Start menu entry"

  # Started from the entry; File, Exit by its access keys writes the settings.
  "$wine" start /unix "$entry" 2>/dev/null
  window=$(timeout 60 xdotool search --sync --name '^Tavo \(Client\)$' | head -n 1) ||
    fail "the installed program showed no window"
  sleep 4 # the About window's two seconds at a first start
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
  exit 0
fi

./scripts/deps.sh cmake ninja-build g++-mingw-w64-x86-64-posix googletest libcli11-dev wine64 nsis \
  xvfb xdotool zip unzip groff-base
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVO_CORE_ONLY=ON -DTAVO_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTAVO_GTEST_SOURCE=/usr/src/googletest \
  >/dev/null
cmake --build "$build" -j "$(nproc)" --target tavo tavo-cli
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=tavo-$version-windows-x64
stage=$build/$name
rm -rf "$stage" "$build/$name.zip"
mkdir -p "$stage/help"
crlf() { sed 's/$/\r/'; }
x86_64-w64-mingw32-strip -o "$stage/tavo.exe" "$build/src/winui/tavo.exe"
x86_64-w64-mingw32-strip -o "$stage/tavo-cli.exe" "$build/cli/tavo-cli.exe"
cp docs/tavo_client*.html "$stage/help/"
groff -man -Tascii -P-cbou docs/man/tavo-cli.1 2>/dev/null | crlf >"$stage/tavo-cli.txt"
# The license: the Expat text of the Debian copyright file (the Windows
# programs hold no Qt).
sed -n '/^License: Expat/,$p' resources/debian/copyright | tail -n +2 | sed 's/^ //; s/^\.$//' |
  crlf >"$stage/LICENSE.txt"
crlf >"$stage/README.txt" <<EOF
Tavo $version for Windows

Tavo manages files kept on an electronic organizer attached by a serial cable.

tavo.exe is the window: the organizer on the left, this computer on the right.
Its settings (tavo_c.cfg) are kept in the directory it starts in.

tavo-cli.exe works in a Command Prompt or PowerShell window:

  tavo-cli ports                 the COM ports and whether each opens
  tavo-cli --port COM2 ls -l /   the organizer's root directory
  tavo-cli --port COM2 backup MyBackup
  tavo-cli --port COM2 restore MyBackup
  tavo-cli --port COM2 check

--port takes 1 to 4 (COM1 to COM4) or any port name (COM7). Without --port,
tavo_c.cfg in the current directory decides, else the one in %APPDATA%\\Tavo.
tavo-cli.txt is the manual; tavo-cli --help and tavo-cli SUBCOMMAND --help
list the options. The help folder holds the documents of the window.
EOF
(cd "$build" && zip -q -r -X "$name.zip" "$name")

# What a user unpacks: every file there, and a program that starts.
listing=$(unzip -Z1 "$build/$name.zip")
for want in tavo.exe tavo-cli.exe README.txt LICENSE.txt tavo-cli.txt help/tavo_client.readme.html; do
  grep -qx "$name/$want" <<<"$listing" || {
    echo "windows-package: $want is missing from the zip"
    exit 1
  }
done
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
unzip -q "$build/$name.zip" -d "$check"
(
  export WINEDEBUG=-all WINEPREFIX="$PWD/$build/wineprefix"
  wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
  "$wine" "$check/$name/tavo-cli.exe" --version | tr -d '\r' | grep -qx "tavo-cli $version"
) || {
  echo "windows-package: tavo-cli.exe from the zip does not start"
  exit 1
}
echo "windows: $build/$name.zip"

# The installer, from the same programs.
installer=$(mktemp -d)
trap 'rm -rf "$check" "$installer"' EXIT
cp "$build/src/winui/tavo.exe" "$build/cli/tavo-cli.exe" docs/tavo_client*.html \
  resources/windows/tavo.ico "$installer/"
cp "$stage/LICENSE.txt" "$installer/license.txt"
setup="$PWD/$build/tavo-setup-$version.exe"
makensis -V2 -DVERSION="$version" -DSOURCE="$installer" -DOUTFILE="$setup" resources/windows/tavo.nsi
echo "windows: $setup"
xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --check-on-display "$setup"

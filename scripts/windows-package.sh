#!/usr/bin/env bash
# Builds the Windows download from the sources: build-windows-package/
# tavo-<version>-windows-x64.zip with the programs (self-contained, no Qt and
# no runtime DLLs), the help documents, the manual as text and the license,
# then checks what the archive holds and that the programs start under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh cmake ninja-build g++-mingw-w64-x86-64-posix googletest libcli11-dev zip unzip \
  groff-base wine64
build=build-windows-package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVO_CORE_ONLY=ON -DTAVO_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTAVO_GTEST_SOURCE=/usr/src/googletest \
  >/dev/null
programs=(tavo-cli)
# The native window, where this tree has it.
if cmake --build "$build" --target help 2>/dev/null | grep -q '^tavo: '; then programs+=(tavo); fi
cmake --build "$build" -j "$(nproc)" --target "${programs[@]}"

version=$(sed -n 's/^project(Tavo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=tavo-$version-windows-x64
stage=$build/$name
rm -rf "$stage" "$build/$name.zip"
mkdir -p "$stage/help"
crlf() { sed 's/$/\r/'; }
for program in "${programs[@]}"; do
  exe=$(find "$build" -name "$program.exe" -not -path "*/CMakeFiles/*" | head -n 1)
  x86_64-w64-mingw32-strip -o "$stage/$program.exe" "$exe"
done
cp docs/tavo_client.*.html "$stage/help/"
groff -man -Tascii -P-cbou docs/man/tavo-cli.1 2>/dev/null | crlf >"$stage/tavo-cli.txt"
# The license: the Expat text of the Debian copyright file.
sed -n '/^License: Expat/,$p' resources/debian/copyright | tail -n +2 | sed 's/^ //; s/^\.$//' |
  crlf >"$stage/LICENSE.txt"
crlf >"$stage/README.txt" <<EOF
Tavo $version for Windows

Tavo manages files kept on an electronic organizer attached by a serial cable.

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

# What a user unpacks: every file there, and programs that start.
listing=$(unzip -Z1 "$build/$name.zip")
for want in "${programs[@]/%/.exe}" README.txt LICENSE.txt tavo-cli.txt help/tavo_client.readme.html; do
  grep -qx "$name/$want" <<<"$listing" || { echo "windows-package: $want is missing"; exit 1; }
done
export WINEDEBUG=-all WINEPREFIX="$PWD/$build/wineprefix"
wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
unzip -q "$build/$name.zip" -d "$check"
"$wine" "$check/$name/tavo-cli.exe" --version | tr -d '\r' | grep -qx "tavo-cli $version" ||
  { echo "windows-package: tavo-cli.exe does not start"; exit 1; }
echo "windows-package: $build/$name.zip ($(du -k "$build/$name.zip" | cut -f1) KiB)"

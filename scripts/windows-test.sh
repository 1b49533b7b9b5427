#!/usr/bin/env bash
# Cross-builds the Qt-free layers, the Windows serial port and tavo-cli.exe
# for Windows with MinGW-w64 (GoogleTest built from source for the target),
# runs the unit tests under Wine with simulated organizers mapped as COM
# ports, then tavo-cli.exe end to end beside the Linux tavo-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh cmake ninja-build g++-mingw-w64-x86-64-posix wine64 googletest xvfb
build=build-windows
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVO_CORE_ONLY=ON -DTAVO_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTAVO_GTEST_SOURCE=/usr/src/googletest
cmake --build "$build" -j "$(nproc)"
export WINEDEBUG=-all WINEPREFIX="$PWD/$build/wineprefix"
wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
# The simulator, and tavo-cli to compare with, are native programs.
if [ ! -x build/cli/tavo-cli ] || [ ! -x build/tools/organizer-sim/tavo-organizer-sim ]; then
  ./scripts/deps.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build build -j "$(nproc)" --target tavo-cli tavo-organizer-sim
fi
sim=build/tools/organizer-sim/tavo-organizer-sim
# Simulated organizers for the Windows port, each a pseudo-terminal that the
# prefix maps as a COM port: a sane one and one that hangs up at its second
# command.
"$wine" wineboot --init >/dev/null 2>&1 || true
# Keep the Wine server running and quiet: it takes a COM port's terminal as
# its controlling terminal and prints a dump of its objects on the SIGHUP it
# gets when a simulator closes that terminal.
"$(dirname "$(realpath "$wine")")/wineserver" -p30 >/dev/null 2>&1 || true
sims=()
trap 'kill "${sims[@]}" 2>/dev/null || true' EXIT
start_sim() { # COM number, extra options
  local com=$1
  shift
  rm -f "$WINEPREFIX/dosdevices/com$com"
  "$sim" --link "$WINEPREFIX/dosdevices/com$com" --baud 38400 "$@" &
  sims+=($!)
  for _ in $(seq 100); do [ -L "$WINEPREFIX/dosdevices/com$com" ] && return; sleep 0.1; done
  echo "windows: the simulator on COM$com did not start"
  exit 1
}
start_sim 21
start_sim 22 --fault hangup@2
export TAVO_TEST_COM=COM21 TAVO_TEST_COM_HANGUP=COM22 WINEDLLOVERRIDES=
passed=0
failed=0
# The window's tests need a display: a virtual one of their own, whose Wine
# processes end with it.
run_on_display() {
  xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '"$@"; status=$?; "${WINESERVER:-wineserver}" -k 2>/dev/null; exit $status' \
    sh "$@"
}
export WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
for exe in $(find "$build/tests" -name 'tavo_*_tests.exe' | sort); do
  runner=()
  case "$exe" in *winui*) runner=(run_on_display) ;; esac
  log=$("${runner[@]}" "$wine" "$exe" --gtest_brief=1 2>&1) || { echo "$log"; failed=$((failed + 1)); }
  n=$(printf '%s\n' "$log" | sed -n 's/.*PASSED.* \([0-9]\+\) test.*/\1/p' | tail -n 1)
  echo "$(basename "$exe"): ${n:-0} passed"
  passed=$((passed + ${n:-0}))
done
kill "${sims[@]}" 2>/dev/null || true
echo "windows: $passed tests passed under Wine, $failed executables failed"
# tavo-cli.exe end to end, beside the Linux tavo-cli.
cli_status=0
./scripts/windows-cli-test.sh "$build" build || cli_status=1
[ "$failed" -eq 0 ] && [ "$cli_status" -eq 0 ]

#!/usr/bin/env bash
# Photographs the native Windows window under Wine on a virtual display,
# synchronized with the demo organizer: docs/screenshot-windows.png at 100%
# scale and docs/screenshot-windows-150.png at 150%. Needs the cross build
# (scripts/windows-test.sh) and a native simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh xvfb imagemagick xdotool
if [ "${1:-}" != "--on-display" ]; then
  for dpi in 96 144; do
    xvfb-run -a -s "-screen 0 1600x1200x24" "$0" --on-display "$dpi"
  done
  exit 0
fi
dpi=$2
build=build-windows
export WINEDEBUG=-all WINEPREFIX="$PWD/$build/wineprefix"
wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
sim=build/tools/organizer-sim/tavo-organizer-sim
[ -x "$sim" ] || sim=build-sim/tools/organizer-sim/tavo-organizer-sim
store=$(mktemp -d)
start="$WINEPREFIX/drive_c/users/Public/Tavo"
rm -rf "$start" && mkdir -p "$start"
trap 'kill "$sim_pid" 2>/dev/null || true; "$wineserver" -k 2>/dev/null || true; rm -rf "$store"' EXIT
rm -f "$WINEPREFIX/dosdevices/com2"
"$sim" --store "$store" --link "$WINEPREFIX/dosdevices/com2" --baud 38400 --demo >/dev/null &
sim_pid=$!
for _ in $(seq 100); do [ -L "$WINEPREFIX/dosdevices/com2" ] && break; sleep 0.1; done
# The screen's scale, and captions drawn by Wine itself (there is no window manager).
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
# Default settings without the About window, COM2 at 38400 baud.
printf '0\r\n0\r\n1\r\n0\r\n9375\r\n7425\r\n\r\n\r\n\r\n\r\n2\r\n4\r\n' >"$start/tavo_c.cfg"
program="$PWD/$build/src/winui/tavo.exe"
(cd "$start" && "$wine" "$program" 2>/dev/null) &
window=$(timeout 60 xdotool search --sync --name '^Tavo \(Client\)$' | head -n 1)
sleep 2
xdotool windowfocus --sync "$window"
# Synchronize has the focus at start; then the organizer's second row.
for key in space Tab Down Down; do xdotool key "$key"; sleep 2; done
suffix=""
[ "$dpi" = 96 ] || suffix="-$((dpi * 100 / 96))"
import -window root png:- | convert - -trim +repage "docs/screenshot-windows$suffix.png"
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1

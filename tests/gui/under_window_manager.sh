#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb) whose windows openbox manages,
# so that they get real frames as on a desktop; ends both afterwards.
set -euo pipefail
tmp=$(mktemp -d)
xvfb="" wm=""
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
# The server picks a free display and writes its number when it is ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do [ -s "$tmp/display" ] && break; sleep 0.05; done
[ -s "$tmp/display" ] || { cat "$tmp/xvfb.log"; echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(cat "$tmp/display")"
HOME="$tmp" openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm=$!
# openbox announces itself on the root window once it manages windows.
for _ in $(seq 200); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id" || { echo "openbox did not start"; exit 1; }
QT_QPA_PLATFORM=xcb "$@"

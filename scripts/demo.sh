#!/usr/bin/env bash
# Starts the simulated organizer with its demo content, published as COM2 of
# the demo start directory demo/, checks the five commands against it, and
# opens the window there. The demo organizer's memos stay in demo/store.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
build=${TAVO_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j "$(nproc)" --target tavo tavo-organizer-sim tavo-cli
mkdir -p demo/store
# 38400 baud on both sides: COM2 and speed code 4.
if [ ! -f demo/tavo_c.cfg ]; then
  printf '0\r\n0\r\n1\r\n1\r\n9375\r\n7425\r\n\r\n\r\n\r\n\r\n2\r\n4\r\n' > demo/tavo_c.cfg
fi
"$build"/tools/organizer-sim/tavo-organizer-sim --store demo/store --link demo/com2 \
  --baud 38400 --demo --transcript demo/transcript.txt &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e demo/com2 ] && break; sleep 0.1; done
cd demo
../"$build"/cli/tavo-cli probe
../"$build"/app/tavo

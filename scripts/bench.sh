#!/usr/bin/env bash
# Builds the benchmark in Release (build-bench/) and prints its figures, one
# line each with the ratio last; arguments go to tavo-bench (--repeats N,
# --only transfers|silence|cancel|listings|unpaced). About four minutes.
# Other work on the machine disturbs the figures: run it quiet, or twice.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
build=${TAVO_BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target tavo-bench
echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)," \
  "load $(cut -d' ' -f1-3 /proc/loadavg), commit $(git rev-parse --short HEAD 2>/dev/null || echo none)"
export QT_QPA_PLATFORM=offscreen
"$build"/bench/tavo-bench "$@" 2> >(grep -v -e 'propagateSizeHints' -e 'XDG_RUNTIME_DIR' >&2)

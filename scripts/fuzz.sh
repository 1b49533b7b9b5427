#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given seconds
# (default 60). Crash inputs are kept in tests/fuzz/regressions/<target>/ and
# replayed first, so a fixed crash stays fixed; they also seed the run, since
# some paths (a whole session of commands) take a fuzzer long to find alone.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
./scripts/deps.sh cmake ninja-build clang libclang-rt-14-dev libgtest-dev
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVO_CORE_ONLY=ON -DTAVO_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
targets=(fuzz_index_text fuzz_reply fuzz_config fuzz_organizer fuzz_commands fuzz_mirror)
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]}"
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t
  regressions=tests/fuzz/regressions/$t
  mkdir -p "$corpus" "$regressions"
  if compgen -G "$regressions/*" >/dev/null; then
    build-fuzz/tests/fuzz/$t "$regressions"/*
  fi
  dict=()
  [ -f "tests/fuzz/$t.dict" ] && dict=(-dict="tests/fuzz/$t.dict")
  build-fuzz/tests/fuzz/$t -max_total_time="$seconds" -artifact_prefix="$regressions/" \
    "${dict[@]}" -print_final_stats=0 "$corpus" "$regressions" 2>&1 | tail -n 1 | sed "s|^|$t: |"
done

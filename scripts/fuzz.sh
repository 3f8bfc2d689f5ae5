#!/usr/bin/env bash
# scripts/fuzz.sh [seconds]: builds the libFuzzer targets with clang and runs
# each for a bounded time (default 60 s).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
"$root/scripts/install-deps.sh"
dir="$root/build/fuzz"
"$root/scripts/build.sh" "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCT_BUILD_FUZZ=ON \
    -DCT_BUILD_GUI=OFF -DCT_BUILD_TESTS=OFF -DCT_BUILD_BENCH=OFF
corpus="$dir/corpus"
mkdir -p "$corpus"
cp -n "$root"/fuzz/seeds/* "$corpus"/ 2>/dev/null || true
"$dir/fuzz/fuzz_reply" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 "$corpus"

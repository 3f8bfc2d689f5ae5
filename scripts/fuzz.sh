#!/usr/bin/env bash
# scripts/fuzz.sh [seconds]: builds the libFuzzer targets with clang and runs
# them for a bounded time in all (default 60 s), each for its share.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
# The time is shared out among the targets.
targets=4
share=$(( (seconds + targets - 1) / targets ))
"$root/scripts/install-deps.sh"
dir="$root/build/fuzz"
"$root/scripts/build.sh" "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCT_BUILD_FUZZ=ON \
    -DCT_BUILD_GUI=OFF -DCT_BUILD_TESTS=OFF -DCT_BUILD_BENCH=OFF
corpus="$dir/corpus"
mkdir -p "$corpus"
cp -n "$root"/fuzz/seeds/* "$corpus"/ 2>/dev/null || true
"$dir/fuzz/fuzz_reply" -max_total_time="$share" -max_len=4096 -print_final_stats=1 "$corpus"
settings_corpus="$dir/corpus-settings-file"
mkdir -p "$settings_corpus"
cp -n "$root"/fuzz/seeds/settings_file/* "$settings_corpus"/ 2>/dev/null || true
"$dir/fuzz/fuzz_settings_file" -max_total_time="$share" -max_len=8192 -print_final_stats=1 "$settings_corpus"
line_corpus="$dir/corpus-line-settings"
mkdir -p "$line_corpus"
cp -n "$root"/fuzz/seeds/line_settings/* "$line_corpus"/ 2>/dev/null || true
"$dir/fuzz/fuzz_line_settings" -max_total_time="$share" -max_len=200000 -print_final_stats=1 "$line_corpus"
firmware_corpus="$dir/corpus-firmware-file"
mkdir -p "$firmware_corpus"
# Past the largest image a loader takes (16 + 63,488 bytes), so that the cut shows.
"$dir/fuzz/fuzz_firmware_file" -max_total_time="$share" -max_len=65536 -print_final_stats=1 "$firmware_corpus"

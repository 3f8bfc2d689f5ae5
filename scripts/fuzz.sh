#!/usr/bin/env bash
# scripts/fuzz.sh [seconds]: builds the libFuzzer targets with clang and runs
# them for a bounded time in all (default 60 s), each for an equal share.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
# One line a target: the executable, its corpus folder in the build folder,
# -max_len, its seeds (globs under the source tree, comma-separated; - for
# none), then any further libFuzzer options (paths under the source tree).
# The firmware loader's inputs reach past the largest image a loader takes
# (16 + 63,488 bytes), so that the cut shows.
targets='
fuzz_reply          corpus                4096    fuzz/seeds/*
fuzz_settings_file  corpus-settings-file  8192    fuzz/seeds/settings_file/*
fuzz_line_settings  corpus-line-settings  200000  fuzz/seeds/line_settings/*
fuzz_firmware_file  corpus-firmware-file  65536   -
fuzz_sim_config     corpus-sim-config     16384   fuzz/seeds/sim_config/*,sim/examples/*.ini  -dict=fuzz/sim_config.dict
fuzz_batch_lines    corpus-batch-lines    2048    fuzz/seeds/batch_lines/*  -dict=fuzz/batch_lines.dict
'
count=$(grep -c . <<<"$targets")
share=$(( (seconds + count - 1) / count ))
"$root/scripts/install-deps.sh"
dir="$root/build/fuzz"
"$root/scripts/build.sh" "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCT_BUILD_FUZZ=ON \
    -DCT_BUILD_GUI=OFF -DCT_BUILD_TESTS=OFF -DCT_BUILD_BENCH=OFF
cd "$root"
while read -r target corpus max_len seeds options; do
    [[ -n "$target" ]] || continue
    mkdir -p "$dir/$corpus"
    if [[ "$seeds" != - ]]; then
        IFS=, read -ra globs <<<"$seeds"
        for glob in "${globs[@]}"; do
            # Files only: a seed folder's subfolders belong to other targets.
            # shellcheck disable=SC2086
            cp -n $glob "$dir/$corpus"/ 2>/dev/null || true
        done
    fi
    # shellcheck disable=SC2086
    "$dir/fuzz/$target" -max_total_time="$share" -max_len="$max_len" -print_final_stats=1 $options \
        "$dir/$corpus" </dev/null
done <<<"$targets"

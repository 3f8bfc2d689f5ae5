#!/bin/sh
# Whole-process wall time and peak resident memory of bench_startup on the
# offscreen platform: median of RUNS runs (default 10).
#   bench/app/measure_startup.sh [path/to/bench_startup] [runs]
set -eu
exe=${1:-$(dirname "$0")/bench_startup}
runs=${2:-10}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# A settings folder of its own, so the run neither reads nor leaves the
# user's settings.
export XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
"$exe" >/dev/null 2>&1  # warm the file cache
i=0
while [ "$i" -lt "$runs" ]; do
    /usr/bin/time -v "$exe" 2>"$tmp/run" >/dev/null
    wall=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$tmp/run")
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$tmp/run")
    # m:ss.cc to milliseconds
    echo "$wall" | awk -F: '{ printf "%d\n", ($1 * 60 + $2) * 1000 }' >>"$tmp/wall"
    echo "$rss" >>"$tmp/rss"
    i=$((i + 1))
done
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo "runs: $runs"
echo "wall time median: $(median "$tmp/wall") ms (min $(sort -n "$tmp/wall" | head -1), max $(sort -n "$tmp/wall" | tail -1))"
echo "peak RSS median: $(( $(median "$tmp/rss" | cut -d. -f1) / 1024 )) MB ($(median "$tmp/rss") kB)"

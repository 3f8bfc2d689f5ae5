#!/usr/bin/env bash
# Wall time of `controller-cli fleet` over many TCP endpoints of one
# controller-sim against the same sub-command on one endpoint: the controllers
# of a site run in parallel, so the many should take little longer than the
# one. Builds nothing.
#   bench/fleet-time.sh [BUILD_DIR] [ENDPOINTS] [RUNS] [SUB-COMMAND...]
#   bench/fleet-time.sh build/release 64 20 connect
# Prints the median wall time of RUNS runs of each and their ratio. --jobs is
# ENDPOINTS unless JOBS says otherwise (JOBS=16: fleet's default).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(cd "${1:-$root/build/release}" && pwd)"
endpoints="${2:-64}"
runs="${3:-20}"
shift $(($# < 3 ? $# : 3))
command=("${@:-connect}")
jobs="${JOBS:-$endpoints}"
cli="$dir/cli/controller-cli"
sim="$dir/sim/controller-sim"

work="$(mktemp -d)"
args=()
for ((i = 0; i < endpoints; i++)); do args+=(--tcp 127.0.0.1:0); done
"$sim" --quiet "${args[@]}" >"$work/ports" &
simPid=$!
trap 'kill "$simPid" 2>/dev/null; rm -rf "$work"' EXIT
for ((i = 0; i < 100; i++)); do
    [[ $(grep -c '^tcp: ' "$work/ports" || true) -ge $endpoints ]] && break
    sleep 0.05
done
sed -n 's/^tcp: /--net /p' "$work/ports" >"$work/site.txt"
head -n 1 "$work/site.txt" >"$work/one.txt"

# The median wall time in ms of $runs runs of fleet over the list $1.
median() {
    local list="$1" times=() start end
    for ((r = 0; r < runs; r++)); do
        start=$(date +%s%N)
        "$cli" fleet --jobs "$jobs" "$list" "${command[@]}" >/dev/null 2>"$work/err" \
            || { cat "$work/err" >&2; exit 1; }
        end=$(date +%s%N)
        times+=($(((end - start) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { printf "%.1f", t[int((NR + 1) / 2)] / 1000 }'
}

read -r load1 _ </proc/loadavg
one="$(median "$work/one.txt")"
many="$(median "$work/site.txt")"
read -r load2 _ </proc/loadavg
printf 'fleet --jobs %s %s: 1 endpoint %s ms, %s endpoints %s ms (median of %s), ratio %.2f; %s cores, load %s before, %s after\n' \
    "$jobs" "${command[*]}" "$one" "$endpoints" "$many" "$runs" "$(awk -v a="$one" -v b="$many" 'BEGIN { print b / a }')" \
    "$(nproc)" "$load1" "$load2"

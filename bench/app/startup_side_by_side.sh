#!/usr/bin/env bash
# The window's start-up side by side with CuteCom (Debian's serial terminal, a
# small Qt Widgets program): both on one private Xvfb display, taking turns.
# Each round starts both, in alternating order, and times each from its start
# to the first paint of its window (first_paint), with its peak resident
# memory by then. Prints every round, then the medians, their ratios and the
# load average before and after, so that a run on a busy machine says so.
#
#   bench/app/startup_side_by_side.sh [BUILD-DIR] [ROUNDS] [OTHER-BUILD]
#
# BUILD-DIR defaults to build/release, ROUNDS to 40. OTHER-BUILD, a
# controller-tools program of another version (an earlier commit's build),
# takes its turns in the same rounds, for a before-and-after on the same
# machine at the same moment. Installs what is missing
# from Debian's archive (Xvfb, CuteCom, the DAMAGE extension's client library)
# and builds controller-tools and first_paint in BUILD-DIR.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build/release}"
rounds="${2:-40}"
other="${3:-}"

missing=()
for p in xvfb xauth cutecom libxcb-damage0-dev pkg-config; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# A configure from before the DAMAGE library was installed has no
# first_paint target yet.
cmake "$build" >/dev/null
cmake --build "$build" -j2 --target controller-tools first_paint >/dev/null
tools="$build/src/app/controller-tools"
probe="$build/bench/app/first_paint"
peer="$(command -v cutecom)"

work="$(mktemp -d)"
xvfb=""
cleanup() {
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null
    grep -h "^first_paint:" "$work/errors" 2>/dev/null | sort | uniq -c >&2 || true
    rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.05
done
export DISPLAY=":$(cat "$work/display")"

# Settings of their own for both, kept between rounds as a user's would be:
# the window's NET page pointed at the substitute controller's address.
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
mkdir -p "$XDG_CONFIG_HOME/Orvel" "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[General]\nTYPE=1\nNetIP=127.0.0.1\nNetPort=5001\n' >"$XDG_CONFIG_HOME/Orvel/ControllerTools.ini"
unset QT_QPA_PLATFORM

# One start: "paint_ms maxrss_kb".
run() {
    "$probe" "$1" </dev/null 2>>"$work/errors" | sed -n 's/.*paint_ms=\([0-9.]*\) maxrss_kb=\([0-9]*\).*/\1 \2/p'
}

# Once each to warm the file cache and the font caches.
run "$tools" >/dev/null
run "$peer" >/dev/null

names=(tools cutecom)
programs=("$tools" "$peer")
if [[ -n "$other" ]]; then
    names+=(other)
    programs+=("$other")
    run "$other" >/dev/null
fi
count=${#programs[@]}

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%5s' round
for name in "${names[@]}"; do printf ' %10s %10s' "${name}_ms" "${name}_kB"; done
printf ' %8s\n' ratio
for ((i = 1; i <= rounds; i++)); do
    # Each program in turn, the first one changing every round.
    results=()
    for ((k = 0; k < count; k++)); do
        results+=("")
    done
    for ((k = 0; k < count; k++)); do
        j=$(((i + k) % count))
        results[j]="$(run "${programs[j]}")"
    done
    line=""
    for r in "${results[@]}"; do
        if [[ -z "$r" ]]; then
            echo "round $i: a program drew no window" >&2
            continue 2
        fi
        line+="$r "
    done
    echo "$line" >>"$work/rounds"
    printf '%5d' "$i"
    for r in "${results[@]}"; do printf ' %10s %10s' $r; done
    printf ' %8.2f\n' "$(echo "$line" | awk '{ print $1 / $3 }')"
done
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column() { awk -v c="$1" '{ print $c }' "$work/rounds"; }
echo
echo "rounds: $(wc -l <"$work/rounds"), cores: $(nproc), load average before: $load_before, after: $load_after"
cms="$(column 3 | median)"
ckb="$(column 4 | median)"
for ((k = 0; k < count; k++)); do
    [[ "${names[k]}" == cutecom ]] && continue
    ms="$(column $((2 * k + 1)) | median)"
    kb="$(column $((2 * k + 2)) | median)"
    ratio="$(awk -v c=$((2 * k + 1)) '{ print $c / $3 }' "$work/rounds" | median)"
    echo "${names[k]}: first paint median $ms ms against cutecom's $cms ms: ratio of medians $(echo "$ms $cms" | awk '{ printf "%.2f", $1 / $2 }'), median of round ratios $(printf '%.2f' "$ratio"); peak memory median $kb kB against $ckb kB: ratio $(echo "$kb $ckb" | awk '{ printf "%.2f", $1 / $2 }')"
done

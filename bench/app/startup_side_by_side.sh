#!/usr/bin/env bash
# The window's start-up side by side with CuteCom (Debian's serial terminal, a
# small Qt Widgets program): both on one private Xvfb display, taking turns.
# Each round starts both, in alternating order, and times each from its start
# to the first paint of its window (first_paint), with its peak resident
# memory by then. Prints every round, then the medians, their ratios and the
# load average before and after, so that a run on a busy machine says so.
#
#   bench/app/startup_side_by_side.sh [BUILD-DIR] [ROUNDS]
#
# BUILD-DIR defaults to build/release, ROUNDS to 40. Installs what is missing
# from Debian's archive (Xvfb, CuteCom, the DAMAGE extension's client library)
# and builds controller-tools and first_paint in BUILD-DIR.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build/release}"
rounds="${2:-40}"

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

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%5s %10s %10s %8s %10s %10s\n' round tools_ms cutecom_ms ratio tools_kB cutecom_kB
for ((i = 1; i <= rounds; i++)); do
    if ((i % 2)); then
        a="$(run "$tools")"
        b="$(run "$peer")"
    else
        b="$(run "$peer")"
        a="$(run "$tools")"
    fi
    if [[ -z "$a" || -z "$b" ]]; then
        echo "round $i: a program drew no window" >&2
        continue
    fi
    read -r ams akb <<<"$a"
    read -r bms bkb <<<"$b"
    echo "$ams $bms $akb $bkb" >>"$work/rounds"
    printf '%5d %10s %10s %8.2f %10s %10s\n' "$i" "$ams" "$bms" "$(echo "$ams $bms" | awk '{ print $1 / $2 }')" "$akb" "$bkb"
done
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column() { awk -v c="$1" '{ print $c }' "$work/rounds"; }
tms="$(column 1 | median)"
cms="$(column 2 | median)"
tkb="$(column 3 | median)"
ckb="$(column 4 | median)"
rtime="$(awk '{ print $1 / $2 }' "$work/rounds" | median)"
echo
echo "rounds: $(wc -l <"$work/rounds"), cores: $(nproc), load average before: $load_before, after: $load_after"
echo "first paint, median: controller-tools $tms ms, cutecom $cms ms; ratio of medians $(echo "$tms $cms" | awk '{ printf "%.2f", $1 / $2 }'), median of round ratios $(printf '%.2f' "$rtime")"
echo "peak memory, median: controller-tools $tkb kB, cutecom $ckb kB; ratio $(echo "$tkb $ckb" | awk '{ printf "%.2f", $1 / $2 }')"

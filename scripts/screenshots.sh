#!/usr/bin/env bash
# Takes the pictures of the window in docs/: one per language
# (window-en.png, window-zh-hans.png, window-zh-hant.png), each the real
# window on a private Xvfb display after a real click on "Connect device"
# against the substitute controller serving sim/examples/demo-line.ini, so
# that each shows what a technician sees after Connect: "Command ok.", the
# yellow lamp, the controller's model, version, serial number and ID.
#
#   scripts/screenshots.sh [BUILD-DIR] [OUT-DIR]
#
# BUILD-DIR defaults to build/release, OUT-DIR to docs. Installs what is
# missing (scripts/install-deps.sh, then xdotool and ImageMagick) and builds
# the window and the substitute controller.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
out="${2:-$root/docs}"

"$root/scripts/install-deps.sh"
mkdir -p "$out"
missing=()
for p in xdotool imagemagick; do
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
cmake --build "$build" -j2 --target controller-tools controller-sim >/dev/null

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.05
done
export DISPLAY=":$(cat "$work/display")"

# The demo line on the README's port, or on any free one while that is taken.
sim="$build/sim/controller-sim"
line="$root/sim/examples/demo-line.ini"
port=""
for address in 127.0.0.1:5001 127.0.0.1:0; do
    "$sim" --config "$line" --tcp "$address" >"$work/sim" 2>&1 &
    pid=$!
    for _ in $(seq 50); do
        port="$(sed -n 's/^tcp: 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim")"
        [[ -n "$port" ]] || ! kill -0 "$pid" 2>/dev/null && break
        sleep 0.05
    done
    if [[ -n "$port" ]]; then
        pids+=("$pid")
        break
    fi
done
[[ -n "$port" ]] || { echo "the substitute controller did not start: $(cat "$work/sim")" >&2; exit 1; }

# The colour of one pixel of a picture, as "R,G,B".
pixel() {
    convert "$1" -format '%[fx:int(255*p{'"$2"','"$3"'}.r)],%[fx:int(255*p{'"$2"','"$3"'}.g)],%[fx:int(255*p{'"$2"','"$3"'}.b)]' info:
}

for language in en:English zh-hans:ChineseGB zh-hant:ChineseBIG5; do
    name="${language%%:*}"
    # Settings of its own: the NET page on the substitute controller, the
    # language as the menu stores it.
    export XDG_CONFIG_HOME="$work/config-$name" XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p "$XDG_CONFIG_HOME/Orvel" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    printf '[General]\nTYPE=1\nNetIP=127.0.0.1\nNetPort=%s\nLanguageFlag=%s\n' "$port" "${language#*:}" \
        >"$XDG_CONFIG_HOME/Orvel/ControllerTools.ini"

    "$build/src/app/controller-tools" >"$work/window-$name.log" 2>&1 &
    window_pid=$!
    pids+=("$window_pid")
    window="$(timeout 20 xdotool search --sync --onlyvisible --pid "$window_pid" | head -n1)"
    [[ -n "$window" ]] || { echo "$name: the window did not appear" >&2; exit 1; }
    sleep 0.5

    # The client area is 680 x 614 under the menu bar; "Connect device" is
    # at (344, 128), 327 x 81, in it, and the lamp at (634, 12), 23 x 20.
    eval "$(xdotool getwindowgeometry --shell "$window")"
    menu=$((HEIGHT - 614))
    xdotool mousemove --window "$window" $((344 + 327 / 2)) $((menu + 128 + 81 / 2)) click 1

    # Connect has ended when the lamp turns yellow ("Command ok."); red
    # means it failed.
    picture="$work/window-$name.png"
    state=""
    for _ in $(seq 50); do
        sleep 0.2
        import -window "$window" "$picture"
        colour="$(pixel "$picture" $((634 + 11)) $((menu + 12 + 10)))"
        [[ "$colour" == 255,255,0 ]] && state=ok && break
    done
    # A last moment for the clock and the message panel to repaint.
    sleep 0.6
    import -window "$window" "$picture"
    kill "$window_pid" 2>/dev/null || true
    if [[ "$state" != ok ]]; then
        echo "$name: Connect did not end with the yellow lamp (lamp $colour)" >&2
        cat "$work/window-$name.log" >&2
        exit 1
    fi
    if [[ -s "$work/window-$name.log" ]]; then
        echo "$name: the window printed:" >&2
        cat "$work/window-$name.log" >&2
    fi
    cp "$picture" "$out/window-$name.png"
    echo "$out/window-$name.png"
done

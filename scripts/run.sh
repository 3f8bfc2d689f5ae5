#!/usr/bin/env bash
# Installs what is missing, builds, starts the substitute controller on
# 127.0.0.1:5001 (a free port when that one is taken) with the line of
# sim/examples/demo-line.ini and, once it listens, opens the window ready to
# talk to it. The window keeps its settings in a demo folder inside the build
# tree, so that a user's own settings are never touched.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
dir="$root/build/release"
"$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo

source "$root/scripts/demo-sim.sh"
trap 'kill "${demo_sim_pid:-}" 2>/dev/null || true' EXIT
start_demo_sim "$dir/sim/controller-sim" "$root/sim/examples/demo-line.ini" 5001 "$dir/demo-sim.out" || exit 1
port="$demo_sim_port"

if [[ ! -x "$dir/src/app/controller-tools" ]]; then
    # No window built: show the link at work through the command-line tool.
    for text in 0001AC 0001DB 0001AS 0001DG0 0001PI; do
        echo "> $text"
        "$dir/cli/controller-cli" --net "127.0.0.1:$port" send "$text"
    done
    exit 0
fi

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display found. Run the window under a virtual display:" >&2
    echo "  xvfb-run -a -s '-screen 0 1024x768x24' $0" >&2
    echo "or take a picture of it without a display:" >&2
    echo "  QT_QPA_PLATFORM=offscreen $0" >&2
    if [[ "${QT_QPA_PLATFORM:-}" != "offscreen" ]]; then
        exit 1
    fi
fi

# Demo settings: the NET page pointed at the substitute controller, on the
# port it listens on this time; what else the demo stored stays.
demo="$dir/demo-config"
ini="$demo/Orvel/ControllerTools.ini"
mkdir -p "$demo/Orvel"
if [[ ! -f "$ini" ]]; then
    printf '[General]\nTYPE=1\n' >"$ini"
fi
grep -q '^\[General\]' "$ini" || sed -i '1i [General]' "$ini"
sed -i -e '/^NetIP=/d' -e '/^NetPort=/d' -e "/^\[General\]/a NetIP=127.0.0.1\nNetPort=$port" "$ini"
export XDG_CONFIG_HOME="$demo"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$dir/xdg-runtime}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$dir/src/app/controller-tools"

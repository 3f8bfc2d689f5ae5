#!/usr/bin/env bash
# Installs what is missing, builds, starts the substitute controller on
# 127.0.0.1:5001 with the line of sim/examples/demo-line.ini and opens the
# window ready to talk to it. The window keeps its settings in a demo folder
# inside the build tree, so that a user's own settings are never touched.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
dir="$root/build/release"
"$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo

line="$root/sim/examples/demo-line.ini"
"$dir/sim/controller-sim" --config "$line" --tcp 127.0.0.1:5001 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
sleep 0.5

if [[ ! -x "$dir/src/app/controller-tools" ]]; then
    # No window built: show the link at work through the command-line tool.
    for text in 0001AC 0001DB 0001AS 0001DG0 0001PI; do
        echo "> $text"
        "$dir/cli/controller-cli" --net 127.0.0.1:5001 send "$text"
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

# Demo settings: the NET page pointed at the substitute controller.
demo="$dir/demo-config"
mkdir -p "$demo/Orvel"
if [[ ! -f "$demo/Orvel/ControllerTools.ini" ]]; then
    cat > "$demo/Orvel/ControllerTools.ini" <<'INI'
[General]
TYPE=1
NetIP=127.0.0.1
NetPort=5001
INI
fi
export XDG_CONFIG_HOME="$demo"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$dir/xdg-runtime}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$dir/src/app/controller-tools"

#!/usr/bin/env bash
# scripts/test-windows.sh (run as scripts/test.sh --windows): cross-builds
# the Windows programs and tests (scripts/build-windows.sh) and runs them
# under Wine, in a Wine prefix of their own inside the build folder, with one
# Wine server for the whole run, ended at its end:
#   - every test program of the Windows build (ctest, Wine as the emulator);
#   - controller-cli.exe against the Linux controller-sim over TCP, and over
#     a COM port that Wine maps to the controller's pseudo-terminal;
#   - the Linux controller-cli against controller-sim.exe over TCP;
#   - the window, controller-tools.exe, when it was built
#     (scripts/test-windows-window.sh).
# Prints the mean round trip of 100 requests in each of these runs, and of
# the Linux controller-cli against the Linux controller-sim for comparison.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$("$root/scripts/build-windows.sh" "${1:-$root/build/windows}" | tail -n 1)"

# The Linux programs the Windows ones meet.
linux="$root/build/release"
cmake -S "$root" -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$linux" -j "$(nproc)" --target controller-cli controller-sim >/dev/null

export WINEPREFIX="$dir/wineprefix"
export WINEDEBUG=-all
# No .NET or HTML engine: nothing here needs them, and Wine would offer to
# download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wine64="$(grep -m1 '^CT_WINE64:' "$dir/CMakeCache.txt" | cut -d= -f2)"
work="$dir/wine-run"
rm -rf "$work"
mkdir -p "$WINEPREFIX" "$work"

pids=()
finish() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wineserver -k 2>/dev/null || true
}
trap finish EXIT
# The server and the programs it starts keep no terminal or pipe of ours.
wineserver -p </dev/null >>"$work/wine.log" 2>&1
wineboot -i </dev/null >>"$work/wine.log" 2>&1

echo "== Windows tests under Wine" >&2
(cd "$dir" && ctest --output-on-failure -j 2 </dev/null)

# Starts a controller in the background; its first lines ("tcp: HOST:PORT",
# "pty: PATH") go to the file named first.
start_sim() {
    local out="$1"
    shift
    "$@" </dev/null >"$out" 2>"$out.err" &
    pids+=($!)
    local i
    for ((i = 0; i < 300; ++i)); do
        grep -q '^tcp: ' "$out" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "controller did not start: $*" >&2
    cat "$out.err" >&2
    return 1
}

# Runs a CLI against a controller: connect, and 100 requests in one batch
# whose round trips (from the '>' line of the trace to the '<' line) are
# averaged. Prints the mean in ms.
check_cli() {
    local what="$1"
    shift
    local out
    if ! out="$("$@" connect </dev/null 2>&1)"; then
        echo "FAILED: $what: connect" >&2
        echo "$out" >&2
        return 1
    fi
    printf 'send 0001JD\n%.0s' {1..100} >"$work/batch.txt"
    if ! "$@" --trace batch "$(batch_path "$1")" </dev/null >/dev/null 2>"$work/trace.txt"; then
        echo "FAILED: $what: batch" >&2
        tail -n 20 "$work/trace.txt" >&2
        return 1
    fi
    local mean
    mean="$(awk '$2 == ">" { t = $1 } $2 == "<" && t != "" { sum += $1 - t; n++; t = "" }
                 END { if (n == 100) printf "%.2f", sum / n; else print "only " n " replies" }' "$work/trace.txt")"
    echo "ok: $what: round trip $mean ms" >&2
}
# The batch file as the CLI names files: a Windows program gets it through
# Wine's Z: drive.
batch_path() {
    if [[ "$1" == "$wine64" ]]; then
        echo "Z:${work//\//\\}\\batch.txt"
    else
        echo "$work/batch.txt"
    fi
}

echo "== controller-cli.exe against the Linux controller-sim" >&2
start_sim "$work/linux-sim.txt" "$linux/sim/controller-sim" --tcp 127.0.0.1:0 --pty --quiet
tcp="$(sed -n 's/^tcp: //p' "$work/linux-sim.txt")"
pty="$(sed -n 's/^pty: //p' "$work/linux-sim.txt")"
# The same with the Linux controller-cli, for comparison.
check_cli "Linux CLI, TCP $tcp" "$linux/cli/controller-cli" --net "$tcp"
check_cli "Linux CLI, $pty" "$linux/cli/controller-cli" --com "$pty"
check_cli "TCP $tcp" "$wine64" "$dir/cli/controller-cli.exe" --net "$tcp"
# COM12: above COM9, which only the \\.\ form reaches.
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com12"
check_cli "COM12 -> $pty" "$wine64" "$dir/cli/controller-cli.exe" --com COM12
# The settings string reaches the line: at 19200 baud the controller, which
# listens at 115200, hears nothing (a connect error, exit status 2).
for settings in 19200,n,8,1 "baud=19200 data=8"; do
    status=0
    "$wine64" "$dir/cli/controller-cli.exe" --com COM12 --settings "$settings" connect </dev/null >/dev/null 2>&1 \
        || status=$?
    if ((status != 2)); then
        echo "FAILED: COM12 at $settings: exit status $status, not 2 (the speed did not reach the line)" >&2
        exit 1
    fi
done
echo "ok: COM12: the settings string sets the line's speed" >&2

# The port list from SetupAPI (Wine's own COM ports), and a port that is not
# there: a connect error (exit status 2), not a hang or a crash.
if ! ports="$("$wine64" "$dir/cli/controller-cli.exe" ports </dev/null)" \
    || { [[ -n "$ports" ]] && grep -v -q -P '^([^\t]*\t){5}(ok|in use|cannot open)\r?$' <<<"$ports"; }; then
    echo "FAILED: controller-cli.exe ports" >&2
    echo "$ports" >&2
    exit 1
fi
status=0
"$wine64" "$dir/cli/controller-cli.exe" --com COM99 connect </dev/null >/dev/null 2>&1 || status=$?
if ((status != 2)); then
    echo "FAILED: controller-cli.exe --com COM99 connect: exit status $status, not 2" >&2
    exit 1
fi
echo "ok: controller-cli.exe ports; a missing COM port is a connect error" >&2

echo "== the Linux controller-cli against controller-sim.exe" >&2
# The demo line file read through Wine's Z: drive, and a fault: the first
# reply to JD fails its check.
examples="Z:${root//\//\\}\\sim\\examples"
start_sim "$work/windows-sim.txt" "$wine64" "$dir/sim/controller-sim.exe" --tcp 127.0.0.1:0 --quiet \
    --config "$examples\\demo-line.ini" --fault wrong-crc:JD:1
tcp="$(sed -n 's/^tcp: //p' "$work/windows-sim.txt" | tr -d '\r')"
if "$linux/cli/controller-cli" --net "$tcp" send 0001JD </dev/null >/dev/null 2>&1; then
    echo "FAILED: controller-sim.exe: the wrong-crc fault did not reach the reply" >&2
    exit 1
fi
check_cli "TCP $tcp" "$linux/cli/controller-cli" --net "$tcp"
# The window, when scripts/build-windows.sh built it (CT_WINDOWS_WINDOW=1).
window_exe="$dir/window/src/app/controller-tools.exe"
if [[ -f "$window_exe" ]]; then
    echo "== controller-tools.exe under Wine" >&2
    "$root/scripts/test-windows-window.sh" "$wine64" "$window_exe" "$linux/sim/controller-sim" "$work"
fi
echo "Windows build and Wine runs: all passed" >&2

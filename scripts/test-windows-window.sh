#!/usr/bin/env bash
# scripts/test-windows-window.sh WINE64 EXE SIM WORK: controller-tools.exe
# under Wine on a private Xvfb display, against the Linux substitute
# controller SIM; run by scripts/test-windows.sh, in its Wine prefix and with
# its Wine server (WINEPREFIX and the rest in the environment). Checks that
#   - the window appears with the catalogue's title;
#   - a click on "Connect device" reaches the controller: the lamp turns
#     yellow and the link settings land in the registry;
#   - each language chosen from the menu changes the title and is stored.
# A picture of the window in each language, after Connect, goes to WORK
# (window-windows-en.png, -zh-hans, -zh-hant), and also to the folder
# CT_SCREENSHOTS_DIR names, if set (docs/ for the README).
set -euo pipefail
wine64="$1"
exe="$2"
sim="$3"
work="$4"
key='HKLM\Software\Orvel\ControllerTools'

missing=()
for p in xdotool imagemagick x11-utils xvfb; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo=sudo
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
        --no-install-recommends "${missing[@]}" >&2
fi

pids=()
finish() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
}
trap finish EXIT
fail() {
    echo "FAILED: controller-tools.exe: $*" >&2
    [[ -s "$work/window.log" ]] && tail -n 20 "$work/window.log" >&2
    exit 1
}
# Waits until the command succeeds, up to $1 seconds.
poll() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}
reg() { "$wine64" reg "$@" </dev/null 2>/dev/null | tr -d '\r'; }
# The data of one registry value of the settings key; empty when missing.
stored() { reg query "$key" /v "$1" | awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }
stored_is() { [[ "$(stored "$1")" == "$2" ]]; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
pids+=($!)
poll 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"

# Without Windows' fonts Wine would draw the dialog font from whatever it
# finds first (a mathematical font, in which line-edit text is invisible).
for font in "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma"; do
    reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "$font" /t REG_SZ \
        /d "Liberation Sans" /f >/dev/null
done

"$sim" --config "$(dirname "$0")/../sim/examples/demo-line.ini" --tcp 127.0.0.1:0 </dev/null \
    >"$work/window-sim.txt" 2>&1 &
pids+=($!)
poll 30 grep -q '^tcp: ' "$work/window-sim.txt" || fail "the substitute controller did not start"
port="$(sed -n 's/^tcp: 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/window-sim.txt")"

# The NET page on the controller, English; the COM values are left for
# Connect to write.
reg delete "$key" /f >/dev/null || true
reg add "$key" /v TYPE /t REG_DWORD /d 1 /f >/dev/null
reg add "$key" /v NetIP /t REG_SZ /d 127.0.0.1 /f >/dev/null
reg add "$key" /v NetPort /t REG_SZ /d "$port" /f >/dev/null
reg add "$key" /v LanguageFlag /t REG_SZ /d English /f >/dev/null
stored_is NetPort "$port" || fail "the settings did not reach the registry before the start"

"$wine64" "$exe" </dev/null >"$work/window.log" 2>&1 &
pids+=($!)
english='KX410/420/450-G7 Tools V0520'
window=""
find_window() { window="$(timeout 5 xdotool search --onlyvisible --name "^${english}\$" 2>/dev/null | head -n 1)"; [[ -n "$window" ]]; }
poll 60 find_window || fail "no window titled \"$english\" within 60 s"
title() { timeout 5 xprop -id "$window" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
title_is() { [[ "$(title)" == "$1" ]]; }

# The client area is 680 x 614 under the menu bar; "Connect device" is at
# (344, 128), 327 x 81, in it, and the lamp at (634, 12), 23 x 20.
eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
menu=$((HEIGHT - 614))
((menu >= 0 && menu < 80)) || fail "the window is ${WIDTH} x ${HEIGHT}, not 680 wide with a menu bar over 614"
picture="$work/window.png"
pixel() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:
}
lamp_yellow() {
    timeout 10 import -window "$window" "$picture" 2>/dev/null &&
        [[ "$(pixel "$picture" $((634 + 11)) $((menu + 12 + 10)))" == 255,255,0 ]]
}
timeout 10 xdotool mousemove --window "$window" $((344 + 327 / 2)) $((menu + 128 + 81 / 2)) click 1
poll 30 lamp_yellow || fail "Connect did not turn the lamp yellow within 30 s"
# The link settings are saved only once the controller has answered.
poll 10 stored_is ComBaudRate 115200,n,8,1 || fail "Connect left no link settings in the registry"
stored_is TYPE 0x1 && stored_is NetPort "$port" || fail "the registry holds TYPE $(stored TYPE), NetPort $(stored NetPort)"
echo "ok: controller-tools.exe: \"$english\"; Connect reached the controller; link settings in $key" >&2

shoot() {
    # A last moment for the clock and the panels to repaint.
    sleep 0.5
    timeout 10 import -window "$window" "$work/window-windows-$1.png"
    if [[ -n "${CT_SCREENSHOTS_DIR:-}" ]]; then
        cp "$work/window-windows-$1.png" "$CT_SCREENSHOTS_DIR/"
    fi
}
shoot en
# The language menu by its key, Alt+L in every language, then the item's
# letter: S and T.
chinese='KX410/420/450-G7 工具程式 V0520'
for language in zh-hans:s:ChineseGB zh-hant:t:ChineseBIG5; do
    IFS=: read -r name letter flag <<<"$language"
    # The menu opens asynchronously and shows no state to wait for: the keys
    # go again, up to three times, until the choice is stored.
    chosen=0
    for _ in 1 2 3; do
        timeout 10 xdotool windowfocus --sync "$window" key --clearmodifiers --delay 300 Escape alt+l "$letter"
        poll 5 stored_is LanguageFlag "$flag" && chosen=1 && break
    done
    ((chosen)) || fail "$name: the menu did not store LanguageFlag $flag"
    poll 10 title_is "$chinese" || fail "$name: the title is \"$(title)\", not \"$chinese\""
    shoot "$name"
    echo "ok: controller-tools.exe: the menu's $flag retitles the window and is stored" >&2
done

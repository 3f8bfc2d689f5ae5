#!/usr/bin/env bash
# check-completion.sh COMPLETION-DIR
#
# The bash completion of controller-cli and controller-sim: what a few
# half-typed command lines complete to. The serial ports after --com come
# from the program's own `ports`, here a stand-in's.
set -uo pipefail
dir="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$dir/controller-cli"
source "$dir/controller-sim"

stub="$work/controller-cli"
printf '#!/bin/sh\n[ "$1" = ports ] && printf "ttyUSB9\\t-\\t-\\t-\\t-\\nttyACM0\\t-\\t-\\t-\\t-\\n"\n' >"$stub"
chmod +x "$stub"

failures=0
# completes FUNCTION LINE EXPECTED: LINE ends where the cursor is.
completes() {
    local function="$1" line="$2" expected="$3"
    read -r -a COMP_WORDS <<<"$line"
    [[ "$line" == *" " ]] && COMP_WORDS+=("")
    COMP_WORDS[0]="$stub"
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$function"
    local got
    got="$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)"
    if [[ "$got" != "$expected" ]]; then
        echo "FAIL: '$line' completes to '$got', not '$expected'" >&2
        failures=$((failures + 1))
    fi
}

completes _controller_cli "controller-cli con" "connect controller-id"
completes _controller_cli "controller-cli --net 127.0.0.1:5001 g6 " "card-type id serial set-card-type set-id"
completes _controller_cli "controller-cli send --fr" "--framing"
completes _controller_cli "controller-cli --com " "ttyACM0 ttyUSB9"
completes _controller_cli "controller-cli --com ttyU" "ttyUSB9"
completes _controller_cli "controller-cli --id 0001 set-speed " "115200 19200"
completes _controller_cli "controller-cli --net 127.0.0.1:5001 set-model KX --version " ""
completes _controller_cli "controller-cli --version --js" "--json"
completes _controller_cli "controller-cli --com ttyUSB0 dis" "discover"
completes _controller_cli "controller-cli --com ttyUSB0 discover --i" "--id --ids"
completes _controller_sim "controller-sim --lo" "--loader --loader-fault"
completes _controller_sim "controller-sim --loader " "256 512 64 none"
completes _controller_sim "controller-sim --firm" "--firmware-version"

[[ $failures -eq 0 ]] || exit 1
echo "completion checks passed"

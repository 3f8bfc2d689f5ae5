#!/usr/bin/env bash
# check-demo-sim.sh SOURCE-DIR CONTROLLER-SIM CONTROLLER-CLI
#
# scripts/run.sh's start of the substitute controller: on a port another
# program holds it moves to a free one that answers; with a line it cannot
# serve it fails, so that no window opens onto nothing.
set -uo pipefail
source="$1"
sim="$2"
cli="$3"
work="$(mktemp -d)"
holder=""
trap 'kill $holder ${demo_sim_pid:-} 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
source "$source/scripts/demo-sim.sh"
line="$source/sim/examples/demo-line.ini"

# Another program on the port: here another substitute.
"$sim" --quiet --tcp 127.0.0.1:0 >"$work/holder.out" &
holder=$!
for _ in $(seq 100); do grep -q '^tcp: ' "$work/holder.out" && break; sleep 0.05; done
taken="$(sed -n 's/^tcp: .*:\([0-9]*\)$/\1/p' "$work/holder.out")"
[[ -n "$taken" ]] || { echo "FAIL: the holder did not listen" >&2; exit 1; }

if start_demo_sim "$sim" "$line" "$taken" "$work/sim.out" 2>"$work/err"; then
    [[ "$demo_sim_port" != "$taken" ]] || fail "listens on the taken port $taken"
    grep -q "Port $taken is taken" "$work/err" || fail "no word of the taken port: $(cat "$work/err")"
    "$cli" --net "127.0.0.1:$demo_sim_port" send 0001AS >/dev/null 2>&1 || fail "nothing answers on $demo_sim_port"
    kill "$demo_sim_pid"
else
    fail "did not start beside a taken port: $(cat "$work/err")"
fi

printf '[controller]\nid = 1\n' >"$work/bad.ini"
start_demo_sim "$sim" "$work/bad.ini" 0 "$work/bad.out" 2>"$work/err" && fail "started with a line it cannot serve"
grep -q "could not start" "$work/err" || fail "no reason given: $(cat "$work/err")"

[[ $failures -eq 0 ]] || exit 1
echo "the demo's substitute controller starts where it can listen"

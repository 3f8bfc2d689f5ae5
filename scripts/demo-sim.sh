# Sourced by scripts/run.sh: start_demo_sim SIM LINE-FILE PORT OUT-FILE
# starts the substitute controller SIM with LINE-FILE on 127.0.0.1:PORT, or
# on a free port when PORT is taken, and returns once it listens, with its
# process in demo_sim_pid and its port in demo_sim_port. When it listens on
# neither, it returns 1 after its reason on standard error. OUT-FILE takes
# what it prints on standard output; its log stays on standard error.
start_demo_sim() {
    local sim="$1" line="$2" port="$3" out="$4" try waited
    for try in "$port" 0; do
        : >"$out"
        "$sim" --config "$line" --tcp "127.0.0.1:$try" >"$out" &
        demo_sim_pid=$!
        # It prints "tcp: 127.0.0.1:PORT" once it listens, or exits.
        waited=0
        while ! grep -q '^tcp: ' "$out" && kill -0 "$demo_sim_pid" 2>/dev/null && ((waited < 100)); do
            sleep 0.05
            waited=$((waited + 1))
        done
        if grep -q '^tcp: ' "$out"; then
            demo_sim_port="$(sed -n 's/^tcp: .*:\([0-9]*\)$/\1/p' "$out")"
            if [[ "$try" != "$port" ]]; then
                echo "Port $port is taken: the substitute controller listens on 127.0.0.1:$demo_sim_port instead." >&2
            fi
            return 0
        fi
        kill "$demo_sim_pid" 2>/dev/null || true
        wait "$demo_sim_pid" 2>/dev/null || true
    done
    echo "The substitute controller could not start (see above); the window was not opened." >&2
    return 1
}

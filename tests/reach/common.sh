# Shared by the end-to-end scripts beside it: the programs they start, each stopped by its PID when
# the script ends, and bounded waits for what those programs say.
# The caller sets: work (a folder of its own, emptied here) and sim (the simulator's path).

rm -rf "$work"
mkdir -p "$work"

started_pids=()
stop_started() {
    local pid
    for pid in "${started_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${started_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
}
trap stop_started EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# wait_for WHAT TEST...: runs TEST until it succeeds, for 10 s at most.
wait_for() {
    local what=$1
    shift
    local tries
    for ((tries = 0; tries < 200; tries++)); do
        "$@" && return 0
        sleep 0.05
    done
    fail "no $what after 10 s"
}

# A TCP port on 127.0.0.1 that nothing listens on now.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Starts the simulated module (steady values, no link) and sets sim_terminal to its terminal.
start_simulator() {
    "$sim" --com 0 --steady >"$work/sim.out" 2>"$work/sim.err" &
    started_pids+=($!)
    wait_for "terminal from the simulator" grep -qs '/dev/pts/[0-9]' "$work/sim.out"
    sim_terminal=$(grep -o '/dev/pts/[0-9]*' "$work/sim.out" | head -n 1)
}

# scripted_gateway NAME SHORTEST REPLY: a Modbus TCP gateway on a free loopback port, its port
# number in $work/NAME.out: every request of at least SHORTEST bytes gets the reply that the Python
# expression REPLY makes of it.
scripted_gateway() {
    local name=$1 shortest=$2 reply=$3
    python3 -c "import socket
listener = socket.socket()
listener.bind(('127.0.0.1', 0))
listener.listen(4)
print(listener.getsockname()[1], flush=True)
while True:
    client = listener.accept()[0]
    while len(request := client.recv(260)) >= $shortest:
        client.sendall($reply)
    client.close()" >"$work/$name.out" &
    started_pids+=($!)
    wait_for "the scripted gateway $name" grep -qs '[0-9]' "$work/$name.out"
}

#!/usr/bin/env bash
# RTU over TCP, as through a transparent serial server (an RS-485-to-Ethernet gateway): the
# simulated module's terminal served on a loopback TCP port by one socat (the gateway), a second
# socat making a local pseudo-terminal of that connection (the README's recipe), and gx7140r-cli
# reading the module through the second terminal.
#   rtu_over_tcp.sh CLI SIM WORK_DIR
set -euo pipefail
cli=$1
sim=$2
work=$3
source "$(dirname "$0")/common.sh"

start_simulator
port=$(free_port)
socat -d -d "$sim_terminal,raw,echo=0" "tcp-listen:$port,bind=127.0.0.1,reuseaddr" \
    2>"$work/gateway.log" &
started_pids+=($!)
wait_for "gateway listening on $port" grep -q "listening on .*:$port" "$work/gateway.log"

link=$work/gx7140r-gateway
socat -d -d "pty,link=$link,raw,echo=0" "tcp:127.0.0.1:$port" 2>"$work/client.log" &
started_pids+=($!)
wait_for "terminal at $link" test -e "$link"

# The command line's read, twice in a row (the second over the same connection), and a value
# written and read back: each exchange crosses both socats and the TCP connection.
for round in 1 2; do
    "$cli" --port "$link" --format json read >"$work/read.json" 2>"$work/read.err" ||
        fail "read $round: exit $? ($(cat "$work/read.err"))"
    python3 - "$work/read.json" <<'PYTHON' || fail "read $round: $(cat "$work/read.json")"
import json, sys
reading = json.load(open(sys.argv[1]))
assert reading["kind"] == "measurement" and reading["address"] == 1, reading
assert reading["concentration_ppm"] == 450 and reading["range_high"] == 2000, reading
PYTHON
done
"$cli" --port "$link" set range-high 5000 >"$work/set.out" 2>&1 ||
    fail "set range-high 5000 through the gateway: $(cat "$work/set.out")"
"$cli" --port "$link" --format json read | grep -q '"range_high":5000' ||
    fail "range_high read back through the gateway is not 5000"
echo "read and set through $link -> 127.0.0.1:$port -> $sim_terminal"

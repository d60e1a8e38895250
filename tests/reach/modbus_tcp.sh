#!/usr/bin/env bash
# Modbus TCP: gx7140r-cli --port tcp://HOST:PORT against gx7140r-sim --tcp on a free loopback port
# (the simulator as an Ethernet gateway in front of its module). Every command, the unit id as
# --address, a silent unit id, a refused connection and the options that do not apply.
#   modbus_tcp.sh CLI SIM WORK_DIR
set -euo pipefail
cli=$1
sim=$2
work=$3
source "$(dirname "$0")/common.sh"

port=$(free_port)
"$sim" --com 0 --steady --tcp "$port" >"$work/sim.out" 2>"$work/sim.err" &
started_pids+=($!)
wait_for "Modbus TCP from the simulator" grep -qs "Modbus TCP on 127.0.0.1:$port" "$work/sim.out"
tcp=tcp://127.0.0.1:$port
closed=tcp://127.0.0.1:$(free_port)

# run EXPECTED_STATUS STDOUT_PATTERN STDERR_PATTERN ARGS...: one command line and what it must do
# (patterns are extended regular expressions; empty: anything).
failures=0
run() {
    local expected=$1 out_pattern=$2 err_pattern=$3
    shift 3
    local status=0
    "$cli" "$@" >"$work/out" 2>"$work/err" || status=$?
    local as_expected=1
    ((status == expected)) || as_expected=0
    [[ -z $out_pattern ]] || grep -qE -- "$out_pattern" "$work/out" || as_expected=0
    [[ -z $err_pattern ]] || grep -qE -- "$err_pattern" "$work/err" || as_expected=0
    if ((!as_expected)); then
        echo "FAIL: gx7140r-cli $*: exit $status (expected $expected)" >&2
        sed 's/^/  out: /' "$work/out" >&2
        sed 's/^/  err: /' "$work/err" >&2
        failures=$((failures + 1))
    fi
}

run 0 '"concentration_ppm":450' '' --port "$tcp" --format json read
run 0 '^address +1$' '' --port "$tcp" address
run 0 'range_high +3000' '' --port "$tcp" set range-high 3000
run 0 '"range_high":3000' '' --port "$tcp" --format json read
run 0 '' '' --port "$tcp" --format json poll --interval 100 --count 3
[[ $(grep -c '"kind":"measurement"' "$work/out") == 3 ]] || fail "poll over TCP: $(cat "$work/out")"
# scan: one pass over the unit ids, the module found at its own
run 0 '^address 1$' '' --port "$tcp" scan --addresses 1-3
[[ $(wc -l <"$work/out") == 1 ]] || fail "scan over TCP found: $(cat "$work/out")"
run 1 '' 'no reply from address 5' --port "$tcp" --address 5 read
run 3 '' 'Connection refused' --port "$closed" read
run 2 '' '--bauds' --port "$tcp" scan --bauds 9600
run 2 '' 'not a TCP port' --port tcp://127.0.0.1:0 read
run 2 '' 'not a TCP port' --port tcp://127.0.0.1:http read
run 2 '' 'tcp://HOST' --port tcp:// read

# The gateway serves several clients at once: one holding half a request does not stop two polls.
python3 -c 'import socket, sys, time
held = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
held.sendall(bytes([0, 1, 0, 0, 0, 6, 1, 3]))
print("holding", flush=True)
time.sleep(60)' "$port" >"$work/held.out" &
started_pids+=($!)
wait_for "a client holding half a request" grep -qs holding "$work/held.out"
"$cli" --port "$tcp" poll --interval 50 --count 5 >"$work/poll1" 2>&1 & poll1=$!
run 0 '' '' --port "$tcp" poll --interval 50 --count 5
wait "$poll1" || fail "the first of two polls at once: $(cat "$work/poll1")"

# Eight clients that connect and say nothing do not lock the gateway out: a ninth takes the place
# of the longest idle one (idle ones are closed after a minute, too long to wait for here).
python3 -c 'import socket, sys, time
idle = [socket.create_connection(("127.0.0.1", int(sys.argv[1]))) for _ in range(8)]
print("idle", flush=True)
time.sleep(60)' "$port" >"$work/idle.out" &
started_pids+=($!)
wait_for "eight idle clients" grep -qs idle "$work/idle.out"
run 0 '"concentration_ppm":450' '' --port "$tcp" --format json read

# A listener whose queue is full never completes the connection: no answer within --timeout.
python3 -c 'import socket, sys, time
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(0)
queued = [socket.socket() for _ in range(3)]
for client in queued:
    client.setblocking(False)
    client.connect_ex(listener.getsockname())
print(listener.getsockname()[1], flush=True)
time.sleep(60)' >"$work/full.out" &
started_pids+=($!)
wait_for "a listener with a full queue" grep -qs '[0-9]' "$work/full.out"
run 3 '' 'no answer within 300 ms' --port "tcp://127.0.0.1:$(cat "$work/full.out")" --timeout 300 read

# A gateway that answers for a silent module itself (exception 0b): no module found, no reading.
scripted_gateway gateway 8 'request[:4] + bytes([0, 3, request[6], request[7] | 0x80, 0x0B])'
no_module=tcp://127.0.0.1:$(cat "$work/gateway.out")
run 1 '' 'no module answered' --port "$no_module" scan --addresses 1-3
run 1 '' 'no reply from address 1: the gateway answered with exception 0b' --port "$no_module" read

# A gateway whose answers all come from unit 1 (a late reply of the unit asked before looks so):
# only unit 1 is found and read.
scripted_gateway unit1 12 \
    'request[:4] + bytes([0, 3 + 2 * request[11], 1, 3, 2 * request[11]]) + bytes(2 * request[11])'
unit1=tcp://127.0.0.1:$(cat "$work/unit1.out")
run 0 '^address 1$' '' --port "$unit1" scan --addresses 1-3
[[ $(wc -l <"$work/out") == 1 ]] || fail "scan of a gateway answering as unit 1 found: $(cat "$work/out")"
run 1 '' 'invalid reply from address 2' --port "$unit1" --address 2 address

# A reply is taken only under the transaction id of its request: a stale reply (666 ppm, under the
# previous id) before the right one (450 ppm) is skipped; a gateway that answers only under other
# ids gives no reply.
reading() { # REPLY_ID PPM: a reply to the request for N registers, under that transaction id
    echo "bytes([($1 >> 8) & 255, $1 & 255, 0, 0, 0, 3 + 2 * request[11], request[6], 3,
                 2 * request[11], $2 >> 8, $2 & 255]) + bytes(2 * request[11] - 2)"
}
request_id='(request[0] * 256 + request[1])'
scripted_gateway stale 12 "$(reading "($request_id - 1)" 666) + $(reading "$request_id" 450)"
run 0 '"concentration_ppm":450' '' --port "tcp://127.0.0.1:$(cat "$work/stale.out")" --format json read
scripted_gateway strange 12 "$(reading "($request_id + 7)" 666)"
run 1 '' 'no reply from address 1' --port "tcp://127.0.0.1:$(cat "$work/strange.out")" read

# The gateway follows the module to its new terminal when it vanished and came back.
vanish_port=$(free_port)
"$sim" --com 0 --steady --fault vanish --fault-every 2 --tcp "$vanish_port" >"$work/vanish.out" 2>&1 &
started_pids+=($!)
wait_for "Modbus TCP from the vanishing module" grep -qs "Modbus TCP on" "$work/vanish.out"
run 0 '' '' --port "tcp://127.0.0.1:$vanish_port" read
run 1 '' 'no reply' --port "tcp://127.0.0.1:$vanish_port" read
wait_for "the module back" grep -qs "module back on" "$work/vanish.out"
run 0 '' '' --port "tcp://127.0.0.1:$vanish_port" read

# A bus of modules on a line that echoes, paced: the gateway drops the echo, each unit id reaches
# its own module, and a unit id that no module has gets no reply.
bus_port=$(free_port)
"$sim" --com 0 --steady --slave 1,5,9 --echo --paced --tcp "$bus_port" >"$work/bus.out" 2>&1 &
started_pids+=($!)
wait_for "Modbus TCP from the bus" grep -qs "Modbus TCP on" "$work/bus.out"
run 0 '"concentration_ppm":455' '' --port "tcp://127.0.0.1:$bus_port" --address 5 --format json read
run 0 '"concentration_ppm":460' '' --port "tcp://127.0.0.1:$bus_port" --address 9 --format json read
run 1 '' 'no reply from address 2' --port "tcp://127.0.0.1:$bus_port" --address 2 read

# An IPv6 gateway listens where it says it does.
if python3 -c 'import socket; socket.socket(socket.AF_INET6).bind(("::1", 0))' 2>/dev/null; then
    v6_port=$(free_port)
    "$sim" --com 0 --steady --tcp "[::1]:$v6_port" >"$work/v6.out" 2>&1 &
    started_pids+=($!)
    wait_for "Modbus TCP on [::1]" grep -qsF "Modbus TCP on [::1]:$v6_port" "$work/v6.out"
    run 0 '' '' --port "tcp://[::1]:$v6_port" read
fi
((failures == 0)) || fail "$failures command lines"
echo "Modbus TCP on $tcp: every case as expected"

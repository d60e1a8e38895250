#!/usr/bin/env bash
# Feeding a monitoring system: gx7140r-cli's JSON readings piped into mosquitto_pub -l, one MQTT
# message a reading, on a mosquitto broker of the test's own (loopback, a free port, its own
# configuration); read back with mosquitto_sub and checked as the module's readings. Then the
# README's recipe for a bus, a topic per module.
#   mqtt_pipe.sh CLI SIM WORK_DIR MOSQUITTO
set -euo pipefail
cli=$1
sim=$2
work=$3
mosquitto=$4
source "$(dirname "$0")/common.sh"
readings=3
topic=building/co2/test

start_simulator
port=$(free_port)
# As root, mosquitto would become the user "mosquitto", who may not write in the test's folder.
cat >"$work/mosquitto.conf" <<CONF
user $(id -un)
listener $port 127.0.0.1
allow_anonymous true
persistence false
log_dest file $work/mosquitto.log
log_type all
CONF
"$mosquitto" -c "$work/mosquitto.conf" 2>"$work/mosquitto.err" &
started_pids+=($!)
wait_for "broker listening on $port" grep -qs "port $port" "$work/mosquitto.log"

broker=(-h 127.0.0.1 -p "$port")
# A lasting session that subscribes and leaves: the broker keeps every message of QoS 1 for it.
mosquitto_sub "${broker[@]}" -i gx7140r-reader -c -q 1 -t "$topic" -E ||
    fail "mosquitto_sub could not subscribe"

"$cli" --port "$sim_terminal" --format json poll --interval 100 --count $readings 2>"$work/cli.err" |
    mosquitto_pub "${broker[@]}" -i gx7140r-feed -q 1 -t "$topic" -l 2>"$work/pub.err" &&
    statuses=("${PIPESTATUS[@]}") || statuses=("${PIPESTATUS[@]}")
((statuses[0] == 0)) || fail "gx7140r-cli poll: exit ${statuses[0]} ($(cat "$work/cli.err"))"
((statuses[1] == 0)) || fail "mosquitto_pub -l: exit ${statuses[1]} ($(cat "$work/pub.err"))"

mosquitto_sub "${broker[@]}" -i gx7140r-reader -c -q 1 -t "$topic" -C $readings -W 20 \
    >"$work/received" || fail "mosquitto_sub received $(wc -l <"$work/received") of $readings"
python3 - "$work/received" $readings <<'PYTHON' || fail "the messages: $(cat "$work/received")"
import json, sys
lines = open(sys.argv[1]).read().splitlines()
assert len(lines) == int(sys.argv[2]), lines
fields = {"time", "kind", "status", "address", "concentration_ppm", "alarm_state", "range_coefficient",
          "range_low", "range_high", "display_calibration", "alarm_low", "alarm_high"}
times = []
for line in lines:
    reading = json.loads(line)
    assert set(reading) == fields, sorted(reading)
    assert reading["kind"] == "measurement" and reading["address"] == 1, reading
    assert reading["status"] == "accepted" and reading["concentration_ppm"] == 450 and reading["range_high"] == 2000, reading
    times.append(reading["time"])
assert times == sorted(set(times)), times
PYTHON
echo "$readings readings through mosquitto on 127.0.0.1:$port"

# The README's recipe for a bus: one topic per module, from the address in each reading.
"$sim" --com 0 --steady --slave 1,5 >"$work/bus.out" 2>"$work/bus.err" &
started_pids+=($!)
wait_for "terminal from the simulated bus" grep -qs '/dev/pts/[0-9]' "$work/bus.out"
bus_terminal=$(grep -o '/dev/pts/[0-9]*' "$work/bus.out" | head -n 1)
mosquitto_sub "${broker[@]}" -i gx7140r-bus-reader -c -q 1 -t 'building/co2/bus/+' -E ||
    fail "mosquitto_sub could not subscribe to the bus's topics"
"$cli" --port "$bus_terminal" --address 1,5 --format json poll --interval 100 --count 2 \
    2>"$work/bus-cli.err" |
    while IFS= read -r reading; do
        mosquitto_pub "${broker[@]}" -q 1 -t "building/co2/bus/$(jq -r .address <<<"$reading")" \
            -m "$reading"
    done
mosquitto_sub "${broker[@]}" -i gx7140r-bus-reader -c -q 1 -t 'building/co2/bus/+' -C 4 -W 20 -v \
    >"$work/bus-received" || fail "mosquitto_sub received $(wc -l <"$work/bus-received") of 4"
python3 - "$work/bus-received" <<'PYTHON' || fail "the bus's messages: $(cat "$work/bus-received")"
import json, sys
concentrations = {1: 450, 5: 455}
seen = []
for line in open(sys.argv[1]).read().splitlines():
    topic, message = line.split(" ", 1)
    reading = json.loads(message)
    assert topic == f"building/co2/bus/{reading['address']}", line
    assert reading["concentration_ppm"] == concentrations[reading["address"]], line
    seen.append(reading["address"])
assert sorted(seen) == [1, 1, 5, 5], seen
PYTHON
echo "a bus of two modules through mosquitto, a topic each"

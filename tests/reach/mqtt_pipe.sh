#!/usr/bin/env bash
# Feeding a monitoring system: gx7140r-cli's JSON readings piped into mosquitto_pub -l, one MQTT
# message a reading, on a mosquitto broker of the test's own (loopback, a free port, its own
# configuration); read back with mosquitto_sub and checked as the module's readings.
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

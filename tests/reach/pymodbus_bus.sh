#!/usr/bin/env bash
# A bus read from a slave the project did not write: pymodbus (python3-pymodbus) serving three
# addresses on one line, a pseudo-terminal pair made by socat between it and gx7140r-cli. Every
# register of every module decoded exactly, a silent address in the list failed on its own line,
# and the scan's last line fed back as the list.
#   pymodbus_bus.sh CLI SIM WORK_DIR PYTHON
set -euo pipefail
cli=$1
sim=$2
work=$3
python=$4
source "$(dirname "$0")/common.sh"
slaves=(2 7 9)

socat -d -d "pty,raw,echo=0,link=$work/slaves" "pty,raw,echo=0,link=$work/line" \
    2>"$work/socat.log" &
started_pids+=($!)
wait_for "the two terminals" test -e "$work/slaves" -a -e "$work/line"
"$python" "$(dirname "$0")/pymodbus_slaves.py" "$work/slaves" "${slaves[@]}" \
    >"$work/slaves.out" 2>"$work/slaves.err" &
started_pids+=($!)
wait_for "pymodbus serving" grep -qx serving "$work/slaves.out"

# check_readings FILE ADDRESS...: FILE holds one accepted JSON reading of each ADDRESS, in that
# order, with the registers pymodbus holds for it; and nothing else.
check_readings() {
    local file=$1
    shift
    "$python" - "$file" "$work/slaves.out" "$@" <<'PYTHON'
import json, sys
names = ["concentration_ppm", "alarm_state", "range_coefficient", "range_low", "range_high",
         "display_calibration", "alarm_low", "alarm_high"]
held = {}
for line in open(sys.argv[2]):
    if ":" in line:
        address, values = line.split(":")
        held[int(address)] = [int(value) for value in values.split(",")]
readings = [json.loads(line) for line in open(sys.argv[1])]
assert [reading["address"] for reading in readings] == [int(a) for a in sys.argv[3:]], readings
for reading in readings:
    assert reading["status"] == "accepted", reading
    assert [reading[name] for name in names] == held[reading["address"]][:8], reading
PYTHON
}

# Two rounds over the three modules.
"$cli" --port "$work/line" --address 2,7,9 --format json poll --interval 200 --count 2 \
    >"$work/poll.json" 2>"$work/poll.err" || fail "poll: exit $? ($(cat "$work/poll.err"))"
check_readings "$work/poll.json" 2 7 9 2 7 9 || fail "poll: $(cat "$work/poll.json")"

# A silent address among them: its failed line in its place, the others read, exit status 1.
status=0
"$cli" --port "$work/line" --address 2,3,9 --retries 0 --format json read \
    >"$work/read.json" 2>"$work/read.err" || status=$?
((status == 1)) || fail "read with a silent address: exit $status ($(cat "$work/read.err"))"
grep -q '"address":3,"error":"no reply from address 3 within' "$work/read.json" ||
    fail "no failed line for address 3: $(cat "$work/read.json")"
grep -v '"address":3' "$work/read.json" >"$work/answered.json"
check_readings "$work/answered.json" 2 9 || fail "read: $(cat "$work/read.json")"
[[ $(cat "$work/read.err") == "gx7140r-cli: no reply from address 3 within "* ]] ||
    fail "read's reason: $(cat "$work/read.err")"

# The scan's last line, fed back as the options of a read.
"$cli" --port "$work/line" --format csv scan --bauds 9600 --addresses 1-10 \
    >"$work/scan.csv" 2>"$work/scan.err" || fail "scan: exit $? ($(cat "$work/scan.err"))"
found=$(tail -n 1 "$work/scan.err")
[[ $found == "gx7140r-cli: found 3 modules: --baud 9600 --address 2,7,9" ]] ||
    fail "scan's last line: $found"
# shellcheck disable=SC2046 # the options, split into words as a user's shell splits them
"$cli" --port "$work/line" $(sed 's/.*: //' <<<"$found") --format json read >"$work/fed.json" ||
    fail "read with the scan's options: exit $?"
check_readings "$work/fed.json" 2 7 9 || fail "read with the scan's options: $(cat "$work/fed.json")"
echo "three pymodbus slaves on $work/line read as a bus"

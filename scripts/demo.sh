#!/usr/bin/env bash
# Starts the simulated GX7140R module on a pseudo-terminal and the tool with that terminal as its
# COM1 (--port COM1=/dev/pts/N: no /dev link, no root). Without a display it takes the tool's first
# reading and saves a picture of the window instead: under a virtual X server, or on Qt's offscreen
# platform when QT_QPA_PLATFORM=offscreen. The simulator stops when the window closes.
#   scripts/demo.sh [build-folder] [picture]      (defaults: build, build/window.png)
set -euo pipefail
build=${1:-build}
picture=${2:-$build/window.png}

sim_log=$(mktemp)
sim_pid=""
cleanup() {
    if [[ -n "$sim_pid" ]]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        echo "Simulated module stopped: $(tail -n 1 "$sim_log")"
    fi
    rm -f "$sim_log"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

"$build/sim/gx7140r-sim" --com 0 >"$sim_log" 2>&1 &
sim_pid=$!
pty=""
for _ in $(seq 100); do
    pty=$(grep -o '/dev/pts/[0-9]*' "$sim_log" | head -n 1 || true)
    [[ -n "$pty" ]] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
done
if [[ -z "$pty" ]]; then
    cat "$sim_log" >&2
    exit 1
fi
echo "Simulated GX7140R module: slave address 1 on $pty, the tool's COM1 (--port COM1=$pty)."

if [[ "${QT_QPA_PLATFORM:-}" == offscreen ]]; then
    echo "Offscreen: reading the simulated module once."
    "$build/tests/window_screenshot" "$picture" "$pty"
    echo "Saved a picture of the window after one reading: $picture"
elif [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    echo "Starting gx7140r-tool: click 单次 for a reading, 循环 to poll. Close the window to stop."
    "$build/gx7140r-tool" --port "COM1=$pty" --trend
else
    echo "No display: reading the simulated module once under a virtual X server."
    xvfb-run -a -s "-screen 0 1024x768x24" "$build/tests/window_screenshot" "$picture" "$pty"
    echo "Saved a picture of the window after one reading: $picture"
    echo "On a desktop (DISPLAY set), ./run.sh opens the window itself."
fi

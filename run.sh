#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated GX7140R module as COM1 and then the tool.
# Without a display it takes the tool's first reading under a virtual X server and saves a picture.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh run
scripts/build.sh build

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
sim_log=$(mktemp)
sim_pid=""
link=/dev/COM1
cleanup() {
    if [[ -n "$sim_pid" ]]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    if [[ -L "$link" && "$(readlink "$link")" == /dev/pts/* ]]; then
        "${sudo[@]}" rm -f "$link" || true
    fi
    rm -f "$sim_log"
}
trap cleanup EXIT INT TERM

if [[ -e "$link" && ! -L "$link" ]]; then
    echo "$link exists and is not a link; not touching it." >&2
    exit 1
fi
build/sim/gx7140r-sim --com 0 >"$sim_log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
    grep -q '/dev/pts/' "$sim_log" && break
    sleep 0.1
done
pty=$(grep -o '/dev/pts/[0-9]*' "$sim_log" | head -n 1)
if [[ -z "$pty" ]]; then
    cat "$sim_log" >&2
    exit 1
fi
"${sudo[@]}" ln -sf "$pty" "$link"
echo "Simulated GX7140R module: slave address 1 on $pty, linked as $link (the tool's COM1)."

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    echo "Starting gx7140r-tool: click 单次 for a reading, 循环 to poll. Close the window to stop."
    build/gx7140r-tool
else
    shot=build/window.png
    echo "No display: reading the simulated module once under a virtual X server."
    xvfb-run -a -s "-screen 0 1024x768x24" build/tests/window_screenshot "$shot" "$link"
    echo "Saved a picture of the window after one reading: $shot"
    echo "On a desktop (DISPLAY set), ./run.sh opens the window itself."
fi

#!/usr/bin/env bash
# Draws the README's pictures with the build's own code, the same on every run: the window after one
# reading from the steady simulated module (window.png, and window-1.5x.png, window-2x.png at those
# scale factors), and the trend window after a fixed minute of polling every 200 ms with every 23rd
# reply rejected (trend.png). Under a virtual X server of its own.
#   scripts/readme_pictures.sh [build-folder] [out-folder]      (defaults: build, docs)
set -euo pipefail
build=${1:-build}
out=${2:-docs}
mkdir -p "$out"

work=$(mktemp -d)
xvfb_pid=""
sim_pid=""
cleanup() {
    [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# wait_for WHAT FILE PATTERN: until FILE holds PATTERN, 10 s at most.
wait_for() {
    for _ in $(seq 100); do
        grep -qs -- "$3" "$2" && return 0
        sleep 0.1
    done
    cat "$2" >&2
    echo "no $1 after 10 s" >&2
    exit 1
}

# -displayfd: the server picks a free display itself and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for "virtual X server" "$work/display" '[0-9]'
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 XDG_RUNTIME_DIR="$work"
unset QT_SCALE_FACTOR WAYLAND_DISPLAY

"$build/sim/gx7140r-sim" --com 0 --steady >"$work/sim.out" 2>&1 &
sim_pid=$!
wait_for "terminal from the simulator" "$work/sim.out" '/dev/pts/[0-9]'
pty=$(grep -o '/dev/pts/[0-9]*' "$work/sim.out" | head -n 1)

"$build/tests/window_screenshot" "$out/window.png" "$pty"
QT_SCALE_FACTOR=1.5 "$build/tests/window_screenshot" "$out/window-1.5x.png" "$pty"
QT_SCALE_FACTOR=2 "$build/tests/window_screenshot" "$out/window-2x.png" "$pty"
"$build/tests/trend_screenshot" "$out/trend.png" 60 200 23

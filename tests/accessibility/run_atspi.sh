#!/usr/bin/env bash
# Runs atspi_check.py on a virtual X server of its own and in a private D-Bus session (the
# accessibility bus is started on demand by that session).
#   run_atspi.sh TOOL SIM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# -displayfd: the server picks a free display itself and writes its number once it is ready,
# so parallel tests never race for one. -noreset: the accessibility bus launcher connects and
# leaves early, and a server that resets then would refuse the window for a moment.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    grep -q . "$work/display" 2>/dev/null && break
    sleep 0.1
done
display=$(head -n 1 "$work/display")
[[ -n "$display" ]] || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"
status=0
dbus-run-session -- /usr/bin/python3 "$here/atspi_check.py" "$@" || status=$?
if ((status != 0)); then
    echo "X server on $DISPLAY:" >&2
    cat "$work/xvfb.log" >&2
fi
exit "$status"

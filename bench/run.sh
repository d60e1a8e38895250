#!/usr/bin/env bash
# Builds and runs every benchmark under a virtual X server; prints the table and RATIO lines.
#   bench/run.sh [--quick]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
if ! command -v mbpoll >/dev/null; then
    sudo=(); [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    "${sudo[@]}" apt-get install -y -q mbpoll python3 >/dev/null
fi
scripts/build.sh build >/dev/null
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x1024x24" python3 bench/run.py build "$@"

#!/usr/bin/env bash
# Builds and runs every benchmark under virtual X servers of its own; prints the table and RATIO
# lines.
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
python3 bench/run.py build "$@"

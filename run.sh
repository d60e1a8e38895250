#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated GX7140R module on a pseudo-terminal and
# then the tool with that terminal as its COM1 (no /dev link, no root for it).
# Without a display it takes the tool's first reading under a virtual X server and saves a picture.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh run
# Only what the demonstration runs: the window, the simulated module and the picture helper.
scripts/build.sh build --target gx7140r-tool gx7140r-sim window_screenshot
exec scripts/demo.sh build build/window.png

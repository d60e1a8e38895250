#!/usr/bin/env bash
# The README's pictures (docs/) are what the build draws: draws them again with
# scripts/readme_pictures.sh and compares each with the committed one (same size, at most a few
# pixels differing, as a font's anti-aliasing may). scripts/readme_pictures.sh build docs draws
# them anew.
#   pictures.sh BUILD WORK_DIR
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
work=$2
rm -rf "$work"
mkdir -p "$work"

bash "$source/scripts/readme_pictures.sh" "$build" "$work"
failures=0
for picture in window.png window-1.5x.png window-2x.png trend.png; do
    if ! "$build/tests/picture_difference" "$source/docs/$picture" "$work/$picture"; then
        echo "FAIL: docs/$picture is not what the build draws ($work/$picture);" \
            "scripts/readme_pictures.sh build docs draws it anew" >&2
        failures=$((failures + 1))
    fi
done
((failures == 0))

#!/usr/bin/env bash
# Configures and builds into the given folder (default: build): everything, or only the targets
# named after --target.
#   build.sh [folder] [cmake options...] [--target TARGET...]
set -euo pipefail
build_dir=${1:-build}
shift || true
configure=()
targets=()
while (($#)); do
    if [[ $1 == --target ]]; then
        shift
        targets=("$@")
        break
    fi
    configure+=("$1")
    shift
done
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${configure[@]}"
if ((${#targets[@]})); then
    cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]}"
else
    cmake --build "$build_dir" -j"$(nproc)"
fi

#!/usr/bin/env bash
# Configures and builds into the given folder (default: build).
set -euo pipefail
build_dir=${1:-build}
shift || true
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build_dir" -j"$(nproc)"

#!/usr/bin/env bash
# Configures and builds build-asan/: clang with AddressSanitizer, UndefinedBehaviorSanitizer and
# the libFuzzer targets (the benchmarks are left out).
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ scripts/build.sh build-asan -DGX7140R_SANITIZE=ON -DGX7140R_FUZZ=ON \
    -DGX7140R_BUILD_BENCH=OFF

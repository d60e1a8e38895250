#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a normal build, once in a build
# with AddressSanitizer and UndefinedBehaviorSanitizer (clang) that also runs each fuzz target for
# a bounded number of executions.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh build
jobs=$(nproc)

scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$jobs"

scripts/build-sanitized.sh
ctest --test-dir build-asan --output-on-failure -j"$jobs"

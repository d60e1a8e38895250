#!/usr/bin/env bash
# Runs each fuzz target for the given number of seconds (default 300) in the sanitizer build,
# starting from the seed corpora; new inputs go to build-asan/fuzz-long/<corpus>.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
scripts/install-deps.sh build
scripts/build-sanitized.sh >/dev/null
export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
for target in reply_handling:reply numeric_text:numeric line_settings:settings; do
    name=fuzz_${target%%:*}
    corpus=${target##*:}
    work=build-asan/fuzz-long/$corpus
    mkdir -p "$work"
    echo "== $name, $seconds s"
    build-asan/tests/$name -max_total_time="$seconds" -max_len=600 -print_final_stats=1 \
        "$work" "tests/fuzz/corpus/$corpus" 2>&1 | grep -E 'stat::number_of_executed_units|stat::peak_rss|ERROR|SUMMARY|Done' || true
done

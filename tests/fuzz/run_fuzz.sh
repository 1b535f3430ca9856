#!/usr/bin/env bash
# Builds the libFuzzer target (clang, ASan + UBSan) and fuzzes the whole
# load-convert-serialise path for the given number of seconds (default 120).
# Any crash, leak, sanitizer report, invalid MIDI output or timeout fails the
# run; the input is left in build/fuzz/findings/ to become a regression test.
#   tests/fuzz/run_fuzz.sh 3600     # an hour
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-120}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
corpus=build/fuzz/corpus
findings=build/fuzz/findings
mkdir -p "$corpus" "$findings"
build/fuzz/tests/make_fuzz_seeds "$corpus"
cp examples/demo.gp4 "$corpus/demo.gp4"

ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  build/fuzz/tests/orlix_fuzz "$corpus" tests/fuzz/regressions \
    -dict=tests/fuzz/orlix.dict -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 \
    -max_len=16384 -artifact_prefix="$findings/" -print_final_stats=1 2>&1 | tail -n 25

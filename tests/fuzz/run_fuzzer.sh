#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time on its committed seeds plus the corpus it has
# grown in its work folder. Usage: run_fuzzer.sh EXE SECONDS SEED_DIR WORK_DIR [libFuzzer args]
# Exit status: 0 when nothing was found; otherwise libFuzzer's, with the crash input kept in
# WORK_DIR/artifacts/ (replay it with: EXE WORK_DIR/artifacts/crash-...).
set -euo pipefail
exe=$1 seconds=$2 seeds=$3 work=$4
shift 4
mkdir -p "$work/corpus" "$work/artifacts"
dict=()
[ -f "$seeds.dict" ] && dict=(-dict="$seeds.dict")
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:abort_on_error=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(cd "$(dirname "$0")/.." && pwd)/sanitizers/lsan.supp:print_suppressions=0}
# -timeout: an input that takes 10 s is a hang; -rss_limit_mb: growth without bound is a finding.
exec "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "${dict[@]}" "$@" "$work/corpus" "$seeds"

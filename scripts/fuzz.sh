#!/usr/bin/env bash
# Builds the fuzz preset and runs each libFuzzer target for the given seconds (default 60), from
# the seed corpus in fuzz/corpus. What a run adds stays in build/fuzz/corpus; a crash leaves its
# input in build/fuzz/artifacts and fails the script.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$repo_root"

seconds=${1:-60}
ensure_packages cmake ninja-build g++ clang libclang-rt-14-dev
build_preset fuzz >/dev/null

for target in parse_command_line main_flow; do
    work=build/fuzz/corpus/$target
    mkdir -p "$work" build/fuzz/artifacts
    echo "Fuzzing $target for $seconds s" >&2
    # -timeout: a single input taking 10 s counts as a hang.
    build/fuzz/fuzz_$target "$work" "fuzz/corpus/$target" -max_total_time="$seconds" \
        -max_len=2048 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/artifacts/$target-" 2>"build/fuzz/$target.log" ||
        { tail -n 40 "build/fuzz/$target.log" >&2; exit 1; }
    grep -E '^(#[0-9]+[[:space:]]+DONE|Done )' "build/fuzz/$target.log" >&2 || true
done

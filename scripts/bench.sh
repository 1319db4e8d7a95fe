#!/usr/bin/env bash
# Builds vantrel.exe, the probe, the floor launcher, the tree program and the benchmark driver,
# reads the executable's facts from its headers, runs the driver under Wine and writes its results,
# with the machine they were measured on, to docs/performance.md.
# Arguments pass to the driver, e.g. `scripts/bench.sh --rounds 60`. Run it on a quiet machine:
# other processes disturb the timings. VANTREL_BUILD_DIR (default build/mingw) builds elsewhere,
# apart from other builds; VANTREL_BENCH_REPORT (default docs/performance.md) writes elsewhere.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$repo_root"

bin=${VANTREL_BUILD_DIR:-build/mingw}
report=${VANTREL_BENCH_REPORT:-docs/performance.md}
ensure_build_tools
cmake --preset mingw -B "$bin" >/dev/null && cmake --build "$bin" >/dev/null
ensure_wine_prefix

work=$bin/bench-run
mkdir -p "$work" "$(dirname "$report")"
# The build strips vantrel.exe already; a second strip shows that nothing is left to remove.
image=$work/vantrel.exe
x86_64-w64-mingw32-strip -o "$image" "$bin/vantrel.exe"
# Size, security flags (DllCharacteristics) and imported DLLs of the 64-bit executable.
headers=$(x86_64-w64-mingw32-objdump -p "$image")
if ! grep -q '^Magic[[:space:]]*020b' <<<"$headers"; then
    echo "$image is not a 64-bit Windows executable" >&2
    exit 1
fi
flags=$(awk '$1 == "DllCharacteristics" { print "0x" $2 }' <<<"$headers")
imports=$(awk '$1 == "DLL" && $2 == "Name:" { printf "%s%s", sep, $3; sep = "," }' <<<"$headers")

win() { winepath -w "$1" 2>/dev/null; }
load=$(cut -d' ' -f1-3 /proc/loadavg)
# Read before the report is rewritten, which would otherwise count as a change of its own.
commit="$(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet HEAD 2>/dev/null || echo ' (with local changes)')"
started=$(date -u '+%Y-%m-%d %H:%M UTC')
echo "Running the benchmark (about two minutes)" >&2
status=0
timeout 600 wine "$bin/vantrel_bench.exe" "$(win "$bin/vantrel.exe")" "$(win "$bin/vantrel_floor.exe")" \
    "$(win "$bin/vantrel_probe.exe")" "$(win "$bin/vantrel_tree.exe")" \
    --image-name "$(basename "$image")" --image-size "$(stat -c %s "$image")" \
    --image-flags "$flags" --image-imports "$imports" "$@" >"$work/results.md" || status=$?
wineserver -w || true
if [ ! -s "$work/results.md" ]; then
    echo "The benchmark produced no results (status $status)" >&2
    exit 1
fi

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
{
    echo "# Performance"
    echo
    echo "Produced by \`scripts/bench.sh\`; do not edit by hand. The driver (\`bench/\`) runs"
    echo "under Wine and compares \`vantrel.exe\` with the floor, a minimal launcher in plain C"
    echo "(\`bench/floor.c\`) that does only the Windows work any waiting launcher must do, and with the"
    echo "usual peers. The probe (\`tests/probe\`) is the program launched; \`bench/tree.cpp\` makes the"
    echo "process trees for \`/t\`. The executable's facts come from its headers (\`objdump -p\`)."
    echo
    echo "| machine | |"
    echo "|---|---|"
    echo "| date | $started |"
    echo "| processors (\`nproc\`) | $(nproc) |"
    echo "| CPU | ${cpu:-unknown} |"
    echo "| Wine | $(wine --version 2>/dev/null) |"
    echo "| load average at the start | $load |"
    echo "| commit | $commit |"
    echo "| driver options | ${*:-defaults} |"
    echo
    if awk -v load="${load%% *}" 'BEGIN { exit !(load >= 0.5) }'; then
        echo "The machine was not quiet (load average $load at the start): other work disturbs the"
        echo "timings, so the ratios below are rough. Run the script again on a quiet machine."
        echo
    fi
    cat "$work/results.md"
} >"$report"
echo "Wrote $report" >&2
exit "$status"

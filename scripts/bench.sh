#!/usr/bin/env bash
# Builds vantrel.exe, the probe, the floor launcher and the benchmark driver, runs the driver under
# Wine and writes its results, with the machine they were measured on, to docs/performance.md.
# Arguments pass to the driver, e.g. `scripts/bench.sh --rounds 60`. Run it on a quiet machine:
# other processes disturb the timings.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$repo_root"

ensure_build_tools
build_preset mingw >/dev/null
ensure_wine_prefix

bin=build/mingw
work=build/bench
mkdir -p "$work" docs
# The build strips vantrel.exe already; a second strip shows that nothing is left to remove.
x86_64-w64-mingw32-strip -o "$work/vantrel.exe" "$bin/vantrel.exe"

win() { winepath -w "$1" 2>/dev/null; }
load=$(cut -d' ' -f1-3 /proc/loadavg)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
echo "Running the benchmark (about two minutes)" >&2
status=0
timeout 600 wine "$bin/vantrel_bench.exe" "$(win "$bin/vantrel.exe")" "$(win "$bin/vantrel_floor.exe")" \
    "$(win "$bin/vantrel_probe.exe")" --image "$(win "$work/vantrel.exe")" "$@" \
    >"$work/results.md" || status=$?
wineserver -w || true
if [ ! -s "$work/results.md" ]; then
    echo "The benchmark produced no results (status $status)" >&2
    exit 1
fi

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
{
    echo "# Performance"
    echo
    echo "Produced by \`scripts/bench.sh\`; do not edit by hand. The driver (\`bench/bench.cpp\`) runs"
    echo "under Wine and compares \`vantrel.exe\` with the floor, a minimal launcher in plain C"
    echo "(\`bench/floor.c\`) that does only the Windows work any waiting launcher must do, and with the"
    echo "usual peers. The probe (\`tests/probe\`) is the program launched."
    echo
    echo "| machine | |"
    echo "|---|---|"
    echo "| date | $started |"
    echo "| processors (\`nproc\`) | $(nproc) |"
    echo "| CPU | ${cpu:-unknown} |"
    echo "| Wine | $(wine --version 2>/dev/null) |"
    echo "| load average at the start | $load |"
    echo "| commit | $(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet HEAD 2>/dev/null || echo ' (with local changes)') |"
    echo "| driver options | ${*:-defaults} |"
    echo
    if awk -v load="${load%% *}" 'BEGIN { exit !(load >= 0.5) }'; then
        echo "The machine was not quiet (load average $load at the start): other work disturbs the"
        echo "timings, so the ratios below are rough. Run the script again on a quiet machine."
        echo
    fi
    cat "$work/results.md"
} >docs/performance.md
echo "Wrote docs/performance.md" >&2
exit "$status"

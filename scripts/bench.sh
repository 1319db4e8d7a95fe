#!/usr/bin/env bash
# Builds vantrel.exe and vantrel.com, the probe, the floor launcher, the tree program and the
# benchmark driver, reads the executables' facts from their headers, runs the driver under Wine and
# writes its results, with the machine they were measured on, to docs/performance.md.
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
# The build strips both executables already; a second strip shows that nothing is left to remove.
# Each one's size, security flags (DllCharacteristics) and imported DLLs go to the driver as one
# group of --image-* options.
image_options=()
for name in vantrel.exe vantrel.com; do
    image=$work/$name
    x86_64-w64-mingw32-strip -o "$image" "$bin/$name"
    headers=$(x86_64-w64-mingw32-objdump -p "$image")
    if ! grep -q '^Magic[[:space:]]*020b' <<<"$headers"; then
        echo "$image is not a 64-bit Windows executable" >&2
        exit 1
    fi
    flags=$(awk '$1 == "DllCharacteristics" { print "0x" $2 }' <<<"$headers")
    imports=$(awk '$1 == "DLL" && $2 == "Name:" { printf "%s%s", sep, $3; sep = "," }' <<<"$headers")
    image_options+=(--image-name "$name" --image-size "$(stat -c %s "$image")"
        --image-flags "$flags" --image-imports "$imports")
done

win() { winepath -w "$1" 2>/dev/null; }
load=$(cut -d' ' -f1-3 /proc/loadavg)
# Read before the report is rewritten, which would otherwise count as a change of its own.
commit="$(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet HEAD 2>/dev/null || echo ' (with local changes)')"
started=$(date -u '+%Y-%m-%d %H:%M UTC')
echo "Running the benchmark (about three minutes)" >&2
status=0
timeout 600 wine "$bin/vantrel_bench.exe" "$(win "$bin/vantrel.exe")" "$(win "$bin/vantrel.com")" \
    "$(win "$bin/vantrel_floor.exe")" "$(win "$bin/vantrel_probe.exe")" \
    "$(win "$bin/vantrel_tree.exe")" "${image_options[@]}" "$@" >"$work/results.md" || status=$?
# Bounded: a process that never ends, such as Wine's desktop process for a window station that
# the end-to-end suite made, would otherwise hold this wait for ever.
timeout 30 wineserver -w || true
if [ ! -s "$work/results.md" ]; then
    echo "The benchmark produced no results (status $status)" >&2
    exit 1
fi

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
{
    echo "# Performance"
    echo
    echo "Produced by \`scripts/bench.sh\`; do not edit by hand. The driver (\`bench/\`) runs"
    echo "under Wine and compares \`vantrel.exe\` and its console build \`vantrel.com\` with the floor,"
    echo "a minimal launcher in plain C (\`bench/floor.c\`) that does only the Windows work any waiting"
    echo "launcher must do, and with the usual peers. The probe (\`tests/probe\`) is the program launched;"
    echo "\`bench/tree.cpp\` makes the process trees for \`/t\`. The executables' facts come from their"
    echo "headers (\`objdump -p\`)."
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

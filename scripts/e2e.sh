#!/usr/bin/env bash
# The suites that run under Wine: the Win32 platform layer in-process, then the end-to-end cases
# against a vantrel.exe and the vantrel.com beside it, by default those the mingw preset builds;
# any other build or an unpacked release works the same.
#   scripts/e2e.sh [path/to/vantrel.exe]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
vantrel=$(realpath -m "${1:-$repo_root/build/mingw/vantrel.exe}")
cd "$repo_root"

ensure_build_tools
build_preset mingw >/dev/null
[ -f "$vantrel" ] || { echo "No such file: $vantrel" >&2; exit 2; }
ensure_wine_prefix
# The driver reads the creation flags and the efficiency hints from Wine's relay trace, kept to
# those two calls here; a prefix made for an earlier list is brought up to date.
relay_include='KERNEL32.CreateProcessW;kernelbase.CreateProcessW'
relay_include+=';KERNEL32.SetProcessInformation;kernelbase.SetProcessInformation'
if ! grep -qF "\"RelayInclude\"=\"$relay_include\"" "$WINEPREFIX/user.reg"; then
    wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d "$relay_include" /f >/dev/null 2>&1
fi

# Runs one suite; a failed run is run once more, since Wine itself now and then fails a process
# creation under load (seen once: ERROR_INTERNAL_ERROR). Vantrel is single-threaded and every case
# is deterministic, so a fault fails both runs; the first run's lines stay in the log.
run_suite() {
    "$@" && return 0
    echo "-- failed; running the suite once more to tell a Wine hiccup from a fault" >&2
    "$@"
}

# The processes the driver starts write the trace to its standard error, a file of each run's own:
# a process that outlives a run (Wine's desktop process for the driver's window station) keeps
# writing to its file, and must not write into the next run's.
status=0
echo "== Win32 platform layer"
run_suite wine build/mingw/vantrel_platform_test.exe || status=1
e2e_run() {
    trace=$(mktemp "${TMPDIR:-/tmp}/vantrel-relay.XXXXXX")
    wine build/mingw/vantrel_e2e.exe "$(winepath -w "$1")" "$(winepath -w "$trace")" 2>"$trace" &&
        rm -f "$trace" || { echo "The relay trace is kept in $trace" >&2; return 1; }
}
for build in "$vantrel" "${vantrel%.exe}.com"; do
    echo "== $(basename "$build") end to end: $build"
    run_suite e2e_run "$build" || status=1
done
exit "$status"

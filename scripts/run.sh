#!/usr/bin/env bash
# Builds vantrel.exe and runs it under Wine with the given arguments; its exit status passes through.
# With a display, its message box shows as a window. Without one, Wine's null graphics driver keeps
# the box off-screen, and the box relay prints the box's text here and answers it with OK.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$repo_root"

ensure_build_tools
build_preset mingw >/dev/null
status=0
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    ensure_wine_prefix display
    wine build/mingw/vantrel.exe "$@" || status=$?
else
    ensure_wine_prefix
    wine build/mingw/vantrel_box_relay.exe build/mingw/vantrel.exe "$@" || status=$?
fi
exit "$status"

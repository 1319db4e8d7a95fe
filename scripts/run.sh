#!/usr/bin/env bash
# Builds vantrel.exe and runs it under Wine with the given arguments; its exit status passes through.
# With a display, its message box shows as a window. Without one, Wine's null graphics driver keeps
# the box off-screen, and the box relay prints the box's text here and answers it with OK.
# What the script does goes to standard error, one short line a step, so that a first run, which
# installs and builds for minutes, is never silent; it ends by telling how to try Vantrel by hand.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$repo_root"

say() { echo "run.sh: $*" >&2; }

# The Windows name of a file of this repository: Wine maps Z: to the Linux root.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

say "checking the build tools (missing ones are installed with apt-get)"
ensure_build_tools
say "building build/mingw (a first build takes a few minutes)"
build_preset mingw >/dev/null
display=${DISPLAY:-}${WAYLAND_DISPLAY:-}
if [ -n "$display" ]; then
    say "preparing the Wine prefix $vantrel_wineprefix-display (made once)"
    ensure_wine_prefix display
else
    say "preparing the Wine prefix $vantrel_wineprefix (made once)"
    ensure_wine_prefix
fi
say "running vantrel.exe $*"
status=0
if [ -n "$display" ]; then
    wine build/mingw/vantrel.exe "$@" || status=$?
else
    wine build/mingw/vantrel_box_relay.exe build/mingw/vantrel.exe "$@" || status=$?
fi
# Wine passes on only the low 8 bits of a status: name the statuses of Vantrel's own that it folds.
case $status in
180) note=" (1460, the time limit, reads 180 here: Wine keeps the low 8 bits)" ;;
43) note=" (1067, the parent ended, reads 43 here: Wine keeps the low 8 bits)" ;;
*) note= ;;
esac
echo "vantrel.exe exited with $status$note" >&2
exe=$(windows_path "$repo_root/build/mingw/vantrel.exe")
com=$(windows_path "$repo_root/build/mingw/vantrel.com")
if [ -z "$display" ]; then
    say "without a display a box of vantrel.exe waits unseen: by hand, use vantrel.com or this script"
fi
echo "To try Vantrel by hand: WINEPREFIX=$WINEPREFIX wine cmd, then $com or $exe" >&2
exit "$status"

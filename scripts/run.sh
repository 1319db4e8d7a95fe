#!/usr/bin/env bash
# Builds vantrel.exe and runs it under Wine with the given arguments; its exit status passes through.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$repo_root"

ensure_build_tools
build_preset mingw >/dev/null
ensure_wine_prefix
status=0
wine build/mingw/vantrel.exe "$@" || status=$?
exit "$status"

#!/usr/bin/env bash
# Installs what is missing, builds both presets and runs every test.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$repo_root"

ensure_build_tools
build_preset native
build_preset mingw
ctest --preset native
scripts/e2e.sh

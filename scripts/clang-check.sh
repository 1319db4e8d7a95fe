#!/usr/bin/env bash
# Builds vantrel.exe with clang and lld (the mingw-clang preset), warnings as errors, and runs the
# end-to-end suite against that build.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$repo_root"

ensure_build_tools
ensure_packages clang lld
build_preset mingw-clang
bash scripts/e2e.sh build/mingw-clang/vantrel.exe

#!/usr/bin/env bash
# Builds the mingw preset, packs the release archive and prints its path. With --check, also unpacks
# the archive into a temporary folder, checks that it holds exactly vantrel.exe, vantrel.com,
# README.md, docs/guide.md and LICENSE, and runs the end-to-end suites against the unpacked
# executables.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$repo_root"

ensure_build_tools
build_preset mingw >&2
rm -f build/mingw/vantrel-*-win64.zip
(cd build/mingw && cpack >&2)
zip=$(echo "$repo_root"/build/mingw/vantrel-*-win64.zip)

if [ "${1:-}" = --check ]; then
    unpacked=$(mktemp -d)
    trap 'rm -rf "$unpacked"' EXIT
    (cd "$unpacked" && cmake -E tar xf "$zip")
    content=$(cd "$unpacked" && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' ')
    if [ "$content" != "./LICENSE ./README.md ./docs ./docs/guide.md ./vantrel.com ./vantrel.exe " ]; then
        echo "release check: unexpected archive content: $content" >&2
        exit 1
    fi
    cmp README.md "$unpacked/README.md" && cmp LICENSE "$unpacked/LICENSE" &&
        cmp docs/guide.md "$unpacked/docs/guide.md"
    bash scripts/e2e.sh "$unpacked/vantrel.exe" >&2
fi
echo "$zip"

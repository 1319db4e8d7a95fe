#!/usr/bin/env bash
# Rebuilds the seed corpus from fuzz/seeds.txt: one command line per line, in UTF-8, taken from the
# unit tests and the README, with a few odder ones. Each line goes as UTF-16 to the reader's target;
# for the whole run's target it is followed by four platform scripts (a launch that polls once with
# its output in a file, a creation that fails with code 5 with all three handles in files, a
# lookup that finds nothing, a creation that needs elevation).
set -euo pipefail
cd "$(dirname "$0")"
rm -rf corpus/parse_command_line corpus/main_flow
mkdir -p corpus/parse_command_line corpus/main_flow
n=0
while IFS= read -r line; do
    n=$((n + 1))
    name=$(printf 'seed-%02d' "$n")
    printf '%s' "$line" | iconv -f UTF-8 -t UTF-16LE >"corpus/parse_command_line/$name"
    # Tail: the handles, code and flags bytes that fuzz/main_flow_fuzz.cpp describes.
    for tail in '\010\000\007:launch' '\052\005\001:fails' '\000\000\000:missing' \
        '\000\377\001:elevated'; do
        { cat "corpus/parse_command_line/$name"; printf "${tail%%:*}"; } \
            >"corpus/main_flow/$name-${tail##*:}"
    done
done <seeds.txt
echo "$n seeds" >&2

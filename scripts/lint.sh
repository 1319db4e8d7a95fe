#!/usr/bin/env bash
# Static analysis and formatting: clang-tidy (checks in .clang-tidy) and cppcheck over src/, and
# clang-format over all C++ sources. Fails on the first finding of any of them.
#
# The Win32 files compile only for Windows, so clang-tidy reads them through the compile database
# of the mingw preset, with clang told where MinGW-w64's GCC keeps its C++ headers; the portable
# files go through the native preset's database.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$repo_root"

ensure_build_tools
ensure_packages clang-tidy cppcheck clang-format
cmake --preset native >/dev/null
cmake --preset mingw >/dev/null

native=() win32=()
while IFS= read -r file; do
    if grep -q "\"file\": \"$repo_root/$file\"" build/native/compile_commands.json; then
        native+=("$file")
    else
        win32+=("$file")
    fi
done < <(find src -name '*.cpp' | sort)

mingw_cxx_includes=()
while read -r dir; do
    mingw_cxx_includes+=("--extra-arg=-isystem$dir")
done < <(x86_64-w64-mingw32-g++ -E -x c++ -v - </dev/null 2>&1 |
    sed -n '/#include <...> search starts here/,/End of search list/p' | grep '/include/c++')

echo "clang-tidy: ${native[*]} ${win32[*]}" >&2
clang-tidy --quiet -p build/native "${native[@]}" 2> >(grep -v 'warnings generated' >&2)
clang-tidy --quiet -p build/mingw "${mingw_cxx_includes[@]}" "${win32[@]}" \
    2> >(grep -v 'warnings generated' >&2)

# useStlAlgorithm is a style preference: a loop over the six-entry priority table reads as well as
# std::find_if.
echo "cppcheck: src" >&2
cppcheck --quiet --error-exitcode=1 --std=c++17 --language=c++ --library=windows -I src \
    --enable=warning,style,performance,portability --inline-suppr \
    --suppress=missingIncludeSystem --suppress=useStlAlgorithm src

dirs=()
for dir in src tests fuzz bench; do
    [ -d "$dir" ] && dirs+=("$dir")
done
echo "clang-format: ${dirs[*]}" >&2
find "${dirs[@]}" \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 | sort -z |
    xargs -0 clang-format --dry-run --Werror
echo "lint: clean" >&2

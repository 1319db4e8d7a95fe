# Shared by the scripts: installs what is missing and prepares a Wine prefix outside the repository.
# shellcheck shell=bash

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
vantrel_wineprefix=${VANTREL_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/vantrel/wineprefix}
export WINEPREFIX=$vantrel_wineprefix
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}

# ensure_packages PACKAGE...: installs, with apt-get, those of the Debian packages not yet installed.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}" >&2
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq >&2
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >&2
}

ensure_build_tools() {
    ensure_packages cmake ninja-build g++ libgtest-dev g++-mingw-w64-x86-64 wine wine64
}

# ensure_wine_prefix [display]: makes the prefix once, with the null graphics driver, so that
# message boxes exist without a display (the tests find, read and answer them). With "display", a
# sibling prefix ($WINEPREFIX-display) keeps Wine's default driver, so that boxes show as windows:
# the driver is fixed when a prefix's wineserver starts, so one prefix is never switched between
# the two.
ensure_wine_prefix() {
    local driver=null
    if [ "${1:-}" = display ]; then
        export WINEPREFIX=$vantrel_wineprefix-display
        driver=
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        echo "Making the Wine prefix $WINEPREFIX" >&2
        wine wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    local setting="\"Graphics\"=\"$driver\""
    if [ -n "$driver" ] && ! grep -qF "$setting" "$WINEPREFIX/user.reg" 2>/dev/null; then
        wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$driver" /f >/dev/null 2>&1
        wineserver -w
    fi
}

build_preset() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

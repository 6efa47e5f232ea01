#!/usr/bin/env bash
# Sets up a Debian 12 machine for Orvanel Sondrel, builds it, and then either
# starts the program (./build.sh run) or runs every test (./build.sh test).
# ./build.sh test-sanitize runs every test in a build of its own with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/); ./build.sh deb
# builds the Debian package in build/. With CI=true warnings fail the build.
# Each step is skipped when it has been done already.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mode=${1:-}

case "$mode" in
run | test | deb)
    build=${SONDREL_BUILD_DIR:-$here/build}
    options=()
    ;;
test-sanitize)
    build=${SONDREL_SANITIZE_BUILD_DIR:-$here/build-asan}
    options=(-DSONDREL_SANITIZE=ON)
    ;;
*)
    echo "usage: $0 run|test|test-sanitize|deb" >&2
    exit 2
    ;;
esac
# CI (which sets CI=true) fails on any compiler warning in our code; a
# user's build only shows them, as a newer compiler may warn about code that
# is fine.
# CI also runs clang-tidy over the program's sources, as the test "tidy" of
# the first build (the sanitizer build compiles the same sources again).
if [ "${CI:-}" = true ]; then
    options+=(-DSONDREL_WERROR=ON)
    [ "$mode" = test ] && options+=(-DSONDREL_TIDY=ON)
fi

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
    local wanted missing=()
    wanted=$(grep -v -e '^#' -e '^[[:space:]]*$' "$here/packages.txt")
    for p in $wanted; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_and_build() {
    if [ ! -f "$build/CMakeCache.txt" ] || [ "${CI:-}" = true ]; then
        cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
    fi
    cmake --build "$build" --parallel "$(nproc)"
}

install_packages
configure_and_build

if [ "$mode" = deb ]; then
    cd "$build"
    exec cpack -G DEB
fi

if [ "$mode" != run ]; then
    export QT_QPA_PLATFORM=offscreen
    exec ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
fi

# Without a CD drive the first start would show an empty list: make a demo
# disc image and list it as a drive in the CD library's settings.
add_demo_disc() {
    local config="${XDG_CONFIG_HOME:-$HOME/.config}/Orvanel Sondrel/Orvanel Sondrel"
    local ini="$config/cdr.ini"
    local data="${XDG_DATA_HOME:-$HOME/.local/share}/Orvanel Sondrel"
    compgen -G '/dev/sr[0-9]*' >/dev/null && return 0
    grep -q '^\[Images\]' "$ini" 2>/dev/null && return 0
    mkdir -p "$config" "$data"
    "$build/bin/sondrel-discgen" --pregap 3=0:02:00 --flags 2=DCP \
        "$data" demo 0:45:00 1:30:38 2:05:12 1:10:37 0:58:20 >/dev/null
    printf '\n[Images]\nImage1=%s\n' "$data/demo.cue" >>"$ini"
    echo "No CD drive found: listed the demo disc $data/demo.cue"
}

add_demo_disc
exec "$build/bin/orvanel-sondrel"

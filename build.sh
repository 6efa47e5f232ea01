#!/usr/bin/env bash
# Sets up a Debian 12 machine for Orvanel Sondrel, builds it, and then either
# starts the program (./build.sh run) or runs every test (./build.sh test).
# Each step is skipped when it has been done already.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${SONDREL_BUILD_DIR:-$here/build}
mode=${1:-}

case "$mode" in
run | test) ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac

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
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fi
    cmake --build "$build" --parallel "$(nproc)"
}

install_packages
configure_and_build

if [ "$mode" = test ]; then
    export QT_QPA_PLATFORM=offscreen
    exec ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
fi

exec "$build/bin/orvanel-sondrel"

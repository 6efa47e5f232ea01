#!/usr/bin/env bash
# Installs a build into a temporary DESTDIR, as a package would, and checks
# that the installed program finds its own libraries in the installed tree
# (no LD_LIBRARY_PATH, nothing from the build folder), and that the desktop
# entry, the software centre's description and the icons are what desktops
# accept.
#
# usage: checkinstall.sh BUILD_DIR [CMAKE]
set -euo pipefail

build=$1
cmake=${2:-cmake}
root=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

DESTDIR=$root/dest "$cmake" --install "$build" --prefix /usr >/dev/null
usr=$root/dest/usr
program=$usr/bin/orvanel-sondrel
private=$usr/lib/orvanel-sondrel

# The libraries the program loads by plain name, and only those, are ours.
plugins=(libcdrip.so libMACDll.so libdisclookup.so libcdplayback.so)
[ -x "$program" ] || fail "the program is not installed at $program"
for lib in "${plugins[@]}"; do
    if [ ! -f "$private/$lib" ]; then
        fail "$lib is not installed in $private"
    elif ! diff <(nm -D --defined-only "$build/lib/$lib" | awk '{ print $3 }') \
        <(nm -D --defined-only "$private/$lib" | awk '{ print $3 }') >/dev/null; then
        # A test's stand-in of the same name must never be what is installed.
        fail "the installed $lib is not the program's own"
    fi
done

runpath=$(readelf -d "$program" | sed -n 's/.*(RPATH).*\[\(.*\)\]/\1/p')
[ "$runpath" = '$ORIGIN/../lib/orvanel-sondrel' ] ||
    fail "the program's run path is '$runpath', not its own library folder"

# Every outside library our files link must resolve on this system.
for file in "$program" "$private"/*.so; do
    if ldd "$file" | grep -q 'not found'; then
        fail "$(basename "$file") links a library the system lacks: $(ldd "$file" | grep 'not found' | tr -s ' \t' ' ')"
    fi
done

# Start the installed program with a home of its own and watch the loader:
# libMACDll.so is loaded at start and libcdrip.so when the window makes its CD
# input, both by plain name, so both must come from the installed tree.
home=$root/home
mkdir -p "$home"
env -u LD_LIBRARY_PATH HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    LD_DEBUG=libs LD_DEBUG_OUTPUT="$root/loader" "$program" >/dev/null 2>&1 &
pid=$!
for lib in libMACDll.so libcdrip.so; do
    for _ in $(seq 1 300); do
        grep -qs "calling init: .*/$lib\$" "$root"/loader.* && break
        sleep 0.1
    done
    found=$(grep -hs "calling init: .*/$lib\$" "$root"/loader.* | head -n 1 | sed 's/.*calling init: //')
    if [ -z "$found" ]; then
        fail "the installed program did not load $lib within 30 s"
    elif [ "$(realpath "$found")" != "$(realpath "$private/$lib")" ]; then
        fail "the installed program loaded $lib from $found"
    fi
done
kill -KILL "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
pid=

desktop=$usr/share/applications/org.orvanel.Sondrel.desktop
metainfo=$usr/share/metainfo/org.orvanel.Sondrel.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate refuses the desktop entry"
appstreamcli validate --no-net "$metainfo" >/dev/null || fail "appstreamcli refuses the metainfo file"
grep -qx 'Exec=orvanel-sondrel' "$desktop" || fail "the desktop entry does not start the installed program"

png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'; }
for size in 16 22 24 32 48 64 128 256; do
    icon=$usr/share/icons/hicolor/${size}x${size}/apps/orvanel-sondrel.png
    if [ ! -f "$icon" ]; then
        fail "no ${size}x${size} icon"
    elif [ "$(png_size "$icon")" != "${size}x${size}" ]; then
        fail "the ${size}x${size} icon is $(png_size "$icon")"
    fi
done
[ -f "$usr/share/icons/hicolor/scalable/apps/orvanel-sondrel.svg" ] || fail "no scalable icon"

[ "$failures" -eq 0 ] || exit 1
echo "installed tree checked: $usr"

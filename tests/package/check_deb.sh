#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks what it installs, what it depends on,
# that its programs are stripped and hardened, and that lintian has nothing to say about it.
#   check_deb.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1 source=$2 version=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "$*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log") || { cat "$out/cpack.log"; fail "cpack failed"; }
deb=$(ls "$out"/quillet3_*.deb)
package_version=$(dpkg-deb -f "$deb" Version)
[[ $package_version == "$version"-* ]] || fail "package version $package_version is not $version"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for wanted in ./usr/bin/quillet3 ./usr/share/applications/quillet3.desktop \
    ./usr/share/icons/hicolor/32x32/apps/quillet3.xpm ./usr/share/icons/hicolor/16x16/apps/quillet3.xpm \
    ./usr/share/man/man1/quillet3.1.gz ./usr/lib/quillet3/modules/libquillet3-video.so \
    ./usr/share/doc/quillet3/copyright ./usr/share/doc/quillet3/changelog.Debian.gz; do
    grep -qx -- "$wanted" <<<"$files" || fail "missing from the package: $wanted"
done
dpkg-deb -x "$deb" "$out/root"
zcat "$out/root/usr/share/doc/quillet3/changelog.Debian.gz" | head -n 1 | grep -qF "($package_version)" ||
    fail "the change log's last entry is not version $package_version"
zcat "$out/root/usr/share/man/man1/quillet3.1.gz" | head -n 1 | grep -qF "\"quillet3 $version\"" ||
    fail "the manual page does not name version $version"
[ "$("$out/root/usr/bin/quillet3" --version)" = "quillet3 $version" ] ||
    fail "quillet3 --version does not name version $version"
# The packaged program looks for its module where the package puts it, and nowhere else: unless
# the package is installed, it finds none.
if [ ! -e /usr/lib/quillet3/modules/libquillet3-video.so ]; then
    ! "$out/root/usr/bin/quillet3" --record "$out/check.webm" --size 160x120 --duration 1000 --seed 1 \
        --quiet 2>"$out/record.log" || fail "the packaged program recorded without its module"
    grep -qF "/usr/lib/quillet3/modules)" "$out/record.log" ||
        { cat "$out/record.log"; fail "the packaged program does not look in /usr/lib/quillet3/modules"; }
fi
# The packaged module, stripped, records: loaded by the program the tests build to look in a
# folder of their own (taking the tests' lock on that folder).
host=$build/tests/module-host
flock "$host/.lock" bash -c '
    trap "rm -f \"$1/installed/libquillet3-video.so\"" EXIT
    cp "$2" "$1/installed/" && "$1/quillet3" --record "$3" --size 160x120 --duration 1000 --seed 1 --quiet' \
    _ "$host" "$out/root/usr/lib/quillet3/modules/libquillet3-video.so" "$out/check.webm" \
    2>"$out/record.log" || { cat "$out/record.log"; fail "the packaged video module cannot be loaded"; }
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$out/root/usr/share/doc/quillet3/copyright" || fail "the copyright file is not in DEP-5 form"

# Each package named once; Qt, FFmpeg and every face file the program loads among them.
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | awk '{print $1}')
twice=$(sort <<<"$depends" | uniq -d)
[ -z "$twice" ] || fail "the package depends twice on: $twice"
for wanted in libqt6gui6 libqt6widgets6 libavcodec59 libavformat59 libswscale6; do
    grep -qx -- "$wanted" <<<"$depends" || fail "the package does not depend on $wanted"
done
faces=$(grep -o '"/usr/share/fonts/[^"]*"' "$source/layout/stage_faces.h" | tr -d '"')
[ "$(wc -l <<<"$faces")" -ge 6 ] || fail "no face files found in layout/stage_faces.h"
for face in $faces; do
    owner=$(dpkg -S "$face" 2>/dev/null | cut -d: -f1) || fail "no installed package has $face"
    grep -qx -- "$owner" <<<"$depends" || fail "$face belongs to $owner, which the package does not depend on"
done

# Stripped, position-independent, with read-only relocations bound at start-up.
for elf in "$out/root/usr/bin/quillet3" "$out/root/usr/lib/quillet3/modules/libquillet3-video.so"; do
    sections=$(readelf -SW "$elf")
    ! grep -qE '\.symtab|\.debug_' <<<"$sections" || fail "$elf is not stripped"
    readelf -lW "$elf" | grep -q GNU_RELRO || fail "$elf has no read-only relocations"
    readelf -dW "$elf" | grep -q 'FLAGS.*BIND_NOW' || fail "$elf is not bound at start-up"
done
readelf -dW "$out/root/usr/bin/quillet3" | grep -q 'FLAGS_1.*PIE' || fail "quillet3 is not position-independent"

if command -v lintian >/dev/null; then
    lintian --info --display-info --fail-on error,warning,info "$deb" >"$out/lintian" 2>&1 ||
        { cat "$out/lintian"; fail "lintian has something to say about the package"; }
else
    echo "lintian is not installed: the package is not checked by it (scripts/install-deps)"
fi

# The menu entry starts the installed program with its icon.
grep -qx 'Exec=quillet3' "$out/root/usr/share/applications/quillet3.desktop" &&
    grep -qx 'Icon=quillet3' "$out/root/usr/share/applications/quillet3.desktop" ||
    fail "the menu entry does not start quillet3 with its icon"
[ -s "$out/check.webm" ] || fail "the packaged video module recorded nothing"
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks what it installs and depends on.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/quillet3_*.deb)

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for wanted in ./usr/bin/quillet3 ./usr/share/applications/quillet3.desktop \
    ./usr/share/icons/hicolor/32x32/apps/quillet3.xpm ./usr/share/icons/hicolor/16x16/apps/quillet3.xpm \
    ./usr/share/man/man1/quillet3.1 ./usr/lib/quillet3/libquillet3-video.so; do
    grep -qx -- "$wanted" <<<"$files" || { echo "missing from the package: $wanted"; exit 1; }
done

depends=$(dpkg-deb -f "$deb" Depends)
for wanted in libqt6gui6 libqt6widgets6 libavcodec libavformat libswscale \
    fonts-liberation2 fonts-comic-neue fonts-dejavu-core fonts-ebgaramond fonts-roboto-unhinted; do
    grep -q -- "$wanted" <<<"$depends" || { echo "the package does not depend on $wanted: $depends"; exit 1; }
done

# The menu entry starts the installed program with its icon.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/quillet3.desktop >"$out/entry"
grep -qx 'Exec=quillet3' "$out/entry" && grep -qx 'Icon=quillet3' "$out/entry" ||
    { echo "the menu entry does not start quillet3 with its icon"; exit 1; }
# The installed program finds its video encoder where the package put it.
dpkg-deb -x "$deb" "$out/root"
"$out/root/usr/bin/quillet3" --record "$out/show.mp4" --duration 500 --size 160x120 --seed 1 \
    --quiet 2>"$out/err" || { cat "$out/err"; echo "the installed program cannot record"; exit 1; }
[ -s "$out/show.mp4" ] || { echo "the installed program recorded nothing"; exit 1; }
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# cmake --install into a temporary prefix: the installed tree, its desktop entry and metadata pass
# their validators, and the installed programs work after the tree has been moved elsewhere.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(dirname "$BIN")"
ID=com.example.Pelvanor

cmake --install "$BUILD" --prefix "$WORK/prefix" >/dev/null
P="$WORK/prefix"
for f in bin/pelvanor bin/pelvanor-render bin/pelvanor-compare bin/pelvanor-toric share/pelvanor/locale/en/LC_MESSAGES/default.mo \
    share/applications/$ID.desktop share/metainfo/$ID.metainfo.xml share/icons/hicolor/scalable/apps/$ID.svg \
    share/man/man1/pelvanor.1.gz share/man/man1/pelvanor-render.1.gz share/man/man1/pelvanor-compare.1.gz share/man/man1/pelvanor-toric.1.gz \
    share/doc/pelvanor/copyright share/doc/pelvanor/changelog.Debian.gz \
    share/doc/pelvanor/guide/guide_es.html share/doc/pelvanor/guide/guide_en.html share/doc/pelvanor/guide/guide_carry.png; do
    [ -s "$P/$f" ] || fail "missing $f"
done
[ ! -e "$P/share/locale" ] || fail "something was installed into the shared locale folder"
for s in 16 22 24 32 48 64 128 256; do
    got=$(identify -format %wx%h "$P/share/icons/hicolor/${s}x$s/apps/$ID.png")
    [ "$got" = "${s}x$s" ] || fail "icon for ${s}x$s is $got"
done

desktop-file-validate "$P/share/applications/$ID.desktop" || fail "desktop entry"
grep -qx "Exec=pelvanor %f" "$P/share/applications/$ID.desktop" || fail "Exec line"
grep -qx "Icon=$ID" "$P/share/applications/$ID.desktop" || fail "Icon line"
appstreamcli validate --no-net "$P/share/metainfo/$ID.metainfo.xml" >"$WORK/appstream.txt" ||
    { cat "$WORK/appstream.txt"; fail "metainfo"; }
zcat "$P/share/man/man1/pelvanor.1.gz" | grep -q '^pelvanor \\- mark and read angles' || fail "pelvanor(1) name"
zcat "$P/share/man/man1/pelvanor-render.1.gz" | grep -q 'sector' || fail "pelvanor-render(1) options"
zcat "$P/share/man/man1/pelvanor-toric.1.gz" | grep -q 'counter\\-clockwise' || fail "pelvanor-toric(1) conventions"

# Moved as a whole, the tree still finds its catalogue; --help and --version need no display.
mv "$P" "$WORK/moved"
P="$WORK/moved"
[ "$(env -u DISPLAY "$P/bin/pelvanor" --version)" = "pelvanor 2.0" ] || fail "pelvanor --version"
env -u DISPLAY "$P/bin/pelvanor" --help | grep -q '^Usage: pelvanor \[PHOTO\]' || fail "pelvanor --help"
for lang in en es; do
    "$P/bin/pelvanor-render" --lang $lang --eye oi "$DATA/eye_600x400.jpg" "$WORK/$lang.png" || fail "render $lang"
done
"$BIN/pelvanor-render" --lang en --eye oi "$DATA/eye_600x400.jpg" "$WORK/build_en.png"
same() { [ "$(compare-im6.q16 -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
same "$WORK/en.png" "$WORK/build_en.png" || fail "the installed English composite differs from the build's"
! same "$WORK/en.png" "$WORK/es.png" || fail "the installed renderer did not find its English catalogue"
echo "e2e install: all checks passed"

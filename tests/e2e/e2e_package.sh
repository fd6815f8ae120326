#!/usr/bin/env bash
# The Debian package as a user gets it: built by scripts/package from this build (lintian without
# errors), unpacked into a scratch folder, its renderer speaking English from its own catalogue and
# its program showing a photo named on the command line.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(dirname "$BIN")"
SRC="$(cd "$DATA/../.." && pwd)"

BUILD_DIR="$BUILD" bash "$SRC/scripts/package" --no-build "$WORK/deb" >/dev/null || fail "scripts/package"
DEB="$WORK/deb/pelvanor_2.0-1_amd64.deb"
[ -f "$DEB" ] || fail "no $(basename "$DEB")"
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
for p in libqt6gui6 libqt6widgets6 libdcmtk17 fonts-liberation2 qt6-image-formats-plugins qt6-translations-l10n; do
    [[ "$DEPENDS" == *"$p"* ]] || fail "Depends lacks $p: $DEPENDS"
done

dpkg -x "$DEB" "$WORK/root"
U="$WORK/root/usr"
"$U/bin/pelvanor-render" --lang en --eye oi "$DATA/eye_600x400.jpg" "$WORK/en.png" || fail "installed render"
"$BIN/pelvanor-render" --lang en --eye oi "$DATA/eye_600x400.jpg" "$WORK/build_en.png"
"$BIN/pelvanor-render" --lang es --eye oi "$DATA/eye_600x400.jpg" "$WORK/build_es.png"
diff_pixels() { compare-im6.q16 -metric AE "$1" "$2" null: 2>&1 || true; }
# The build's English composite labels the left eye "OS", its Spanish one "O.I.".
[ "$(diff_pixels "$WORK/en.png" "$WORK/build_en.png")" = 0 ] || fail "installed composite is not the English one"
[ "$(diff_pixels "$WORK/en.png" "$WORK/build_es.png")" != 0 ] || fail "installed composite is Spanish"

$IM -size 600x400 xc:'#ff0000' "$WORK/red.png"
start "$U/bin/pelvanor" "$WORK/red.png"
WID=$(window_of "Pelvanor v2.0") || fail "installed program's window did not appear"
geometry "$WID"
# 600 x 400 in the 729 x 606 panel: 729 x 486 at top 60.
wait_until 10 eval 'shot; near $((X+2)) $((Y+61)) 255 0 0 && near $((X+726)) $((Y+544)) 255 0 0' ||
    fail "installed program does not show the photo"
echo "e2e package: all checks passed"

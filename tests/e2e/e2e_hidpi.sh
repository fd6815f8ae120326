#!/usr/bin/env bash
# screen: 2048x1600x24
# At QT_SCALE_FACTOR=2 the photo is shown from the screen's own pixels: a one-pixel checkerboard
# exactly the size of the photo layer's device pixels appears pixel for pixel, not smeared; the
# gauge stays in logical pixels, so its centre and rays sit where the formulas put them, doubled.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

# 1458 x 1212 has the 729 x 606 panel's proportions: the layer fills the panel, 1458 x 1212 device
# pixels. Black and blue squares; smeared they would be dark blue.
$IM -size 1458x1212 pattern:gray50 -fill '#0000ff' -opaque white -type TrueColor "$WORK/checker.png"
QT_SCALE_FACTOR=2 start "$BIN/pelvanor" "$WORK/checker.png"
WID=$(window_of "Pelvanor v2.0") || fail "main window did not appear"
geometry "$WID"
[ "$WIDTH" = 1784 ] && [ "$HEIGHT" = 1212 ] || fail "window is ${WIDTH}x$HEIGHT device pixels"

# The centre at logical (364, 303), device (728, 606): the mark's strokes and the 0, 90 and 180
# degree rays, each logical pixel a 2 x 2 block.
SX=$((X + 728)) SY=$((Y + 606))
white() { near "$1" "$2" 255 255 255 8 && near $(($1 + 1)) $(($2 + 1)) 255 255 255 8; }
wait_until 10 eval 'shot; white $SX $((SY + 20))' || fail "centre mark's vertical stroke"
white $((SX + 20)) $SY || fail "centre mark's horizontal stroke"
white $((SX + 100)) $SY || fail "0-degree ray"
white $SX $((SY - 100)) || fail "90-degree ray"
white $((SX - 400)) $SY || fail "180-degree ray"
! white $((SX + 100)) $((SY + 8)) 2>/dev/null || fail "0-degree ray is too thick"

# Patches away from the gauge's rays and numbers, compared with the photo pixel for pixel.
for patch in "40 560" "1400 560" "600 1180"; do
    read -r px py <<<"$patch"
    $IM "$WORK/shot.png" -crop "16x16+$((X + px))+$((Y + py))" +repage "$WORK/screen.png"
    $IM "$WORK/checker.png" -crop "16x16+$px+$py" +repage "$WORK/photo.png"
    diff=$(compare-im6.q16 -metric AE "$WORK/screen.png" "$WORK/photo.png" null: 2>&1 || true)
    [ "$diff" = 0 ] || fail "photo at device pixel $px,$py differs in $diff of 256 pixels: smeared"
done
echo "e2e hidpi: all checks passed"

#!/usr/bin/env bash
# The gauge in the real program under Xvfb: drawn where the formulas say, the centre dragged with
# the pointer, the guide line dragged and its field read back through the clipboard.
set -euo pipefail
BIN="$1"
DATA="$2"
WORK="$(mktemp -d)"
SHOT="$WORK/shot.png"

"$BIN/pelvanor" "$DATA/eye_600x400.jpg" &
PID=$!
trap 'kill $PID 2>/dev/null || true; rm -rf "$WORK"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
shot() { sleep 0.4; import -window root "$SHOT"; }
# Hex colour of the screen pixel (x, y) in the last screenshot.
pix() { convert-im6.q16 "$SHOT" -format "%[hex:u.p{$1,$2}]" info:; }
# Whether the colour appears within one pixel of (x, y): rasterised lines may sit a pixel off.
near() { convert-im6.q16 "$SHOT" -crop "3x3+$(($1 - 1))+$(($2 - 1))" -format %c histogram:info: | grep -qi "#$3"; }
expect_pix() { [ "$(pix "$1" "$2")" = "$3" ] || fail "pixel $1,$2 is $(pix "$1" "$2"), expected $3 ($4)"; }
expect_not() { [ "$(pix "$1" "$2")" != "$3" ] || fail "pixel $1,$2 is $3 ($4)"; }
# round(x) with ties to even, and the point at angle a and distance r from the unrounded centre.
py() { python3 -c "import math, struct; $1"; }

WID=$(xdotool search --sync --name "Pelvanor v2.0" | head -1)
eval "$(xdotool getwindowgeometry --shell "$WID")" # X, Y, WIDTH, HEIGHT
sleep 1

# The photo layer: 600 x 400 fitted into the screen panel left of the 163-pixel tool panel.
PW=$((WIDTH - 163))
PH=$HEIGHT
LW=$PW
LH=$(py "print(round($PW / 1.5))")
LX=$X
LY=$((Y + (PH - LH) / 2))
CX=$(py "print(round($LW / 2))")
CY=$(py "print(round($LH / 2))")
echo "photo layer ${LW}x${LH} at $LX,$LY; centre $CX,$CY"

shot
SX=$((LX + CX))
SY=$((LY + CY))
expect_pix $SX $((SY + 10)) FFFFFF "centre mark, vertical stroke"
expect_pix $((SX + 10)) $SY FFFFFF "centre mark, horizontal stroke"
expect_pix $((SX + 50)) $SY FFFFFF "0-degree ray"
expect_not $((SX + 50)) $((SY + 4)) FFFFFF "beside the 0-degree ray"
expect_pix $SX $((SY - 50)) FFFFFF "90-degree ray"
expect_not $((SX + 4)) $((SY - 50)) FFFFFF "beside the 90-degree ray"
expect_pix $((SX - 330)) $SY FFFFFF "180-degree ray"
expect_not $((SX - 330)) $((SY + 4)) FFFFFF "beside the 180-degree ray"

# Drag the centre 50 pixels right and 20 down.
xdotool mousemove $SX $SY
sleep 0.2
xdotool mousedown 1
for step in 10 20 30 40 50; do
    xdotool mousemove $((SX + step)) $((SY + step * 2 / 5))
    sleep 0.05
done
xdotool mouseup 1
NCX=$(py "f = struct.unpack('f', struct.pack('f', 50 / $LW))[0]; print(round($LW * f + $LW / 2))")
NCY=$(py "f = struct.unpack('f', struct.pack('f', 20 / $LH))[0]; print(round($LH * f + $LH / 2))")
echo "centre after the drag: $NCX,$NCY"
shot
expect_pix $((LX + NCX)) $((LY + NCY + 10)) FFFFFF "moved centre mark, vertical stroke"
expect_pix $((LX + NCX + 10)) $((LY + NCY)) FFFFFF "moved centre mark, horizontal stroke"
expect_not $SX $((SY + 10)) FFFFFF "the old centre mark is gone"

# Show the guide line (check box on the tool panel) and find it at 15 degrees.
xdotool mousemove $((X + PW + 31)) $((Y + 134)) click 1
shot
POINT="cx = $LW / 2 + $LW * struct.unpack('f', struct.pack('f', 50 / $LW))[0]; \
cy = $LH / 2 + $LH * struct.unpack('f', struct.pack('f', 20 / $LH))[0]"
at() { py "$POINT; a = math.radians($1); print(round(cx + $2 * math.cos(a)) + $LX, round(cy - $2 * math.sin(a)) + $LY)"; }
read -r GX GY <<<"$(at 15 150)"
near "$GX" "$GY" FF0000 || fail "no red guide line at 15 degrees near $GX,$GY"

# Drag it from 15 degrees to -30 degrees below the centre: the field takes 150.
xdotool mousemove "$GX" "$GY"
sleep 0.2
xdotool mousedown 1
for a in 5 -5 -15 -25 -30; do
    read -r MX MY <<<"$(at $a 150)"
    xdotool mousemove "$MX" "$MY"
    sleep 0.05
done
xdotool mouseup 1
shot
read -r GX GY <<<"$(at 150 150)"
near "$GX" "$GY" FF0000 || fail "no red guide line at 150 degrees near $GX,$GY"

# Read the field through the clipboard.
xdotool mousemove $((X + PW + 6 + 68 + 15)) $((Y + 128 + 20 + 11)) click 1
sleep 0.2
xdotool key ctrl+a ctrl+c
sleep 0.3
VALUE=$(xclip -o -selection clipboard)
[ "$VALUE" = "150" ] || fail "GuiaGrados reads '$VALUE', expected 150"
echo "PASS"

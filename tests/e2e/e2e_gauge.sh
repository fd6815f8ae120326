#!/usr/bin/env bash
# The gauge in the real program under Xvfb: drawn where the formulas say, the centre dragged with
# the pointer, the guide line dragged and its field read back through the clipboard.
set -euo pipefail
BIN="$1"
DATA="$2"
WORK="$(mktemp -d)"
SHOT="$WORK/shot.png"

"$BIN/pelvanor" "$DATA/portrait_600x800.jpg" &
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
# n / d rounded to the nearest integer, ties to even (n, d > 0).
round_div() { local q=$(($1 / $2)) r=$(($1 % $2)); if ((2 * r > $2 || (2 * r == $2 && q % 2))); then q=$((q + 1)); fi; echo $q; }

WID=$(xdotool search --sync --name "Pelvanor v2.0" | head -1)
eval "$(xdotool getwindowgeometry --shell "$WID")" # X, Y, WIDTH, HEIGHT
sleep 1

# The photo layer: the 600 x 800 photo fitted into the screen panel left of the 163-pixel tool
# panel. Its sides come out even, so the centre has no half pixels to round.
PW=$((WIDTH - 163))
PH=$HEIGHT
LH=$PH
LW=$(round_div $((PH * 600)) 800)
LX=$((X + (PW - LW) / 2))
LY=$Y
((LW % 2 == 0 && LH % 2 == 0)) || fail "expected even layer sides, got ${LW}x${LH}"
CX=$((LW / 2))
CY=$((LH / 2))
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
expect_pix $((SX - 200)) $SY FFFFFF "180-degree ray"
expect_not $((SX - 200)) $((SY + 4)) FFFFFF "beside the 180-degree ray"

# Drag the centre 50 pixels right and 20 down.
xdotool mousemove $SX $SY
sleep 0.2
xdotool mousedown 1
for step in 10 20 30 40 50; do
    xdotool mousemove $((SX + step)) $((SY + step * 2 / 5))
    sleep 0.05
done
xdotool mouseup 1
NCX=$((CX + 50))
NCY=$((CY + 20))
echo "centre after the drag: $NCX,$NCY"
shot
expect_pix $((LX + NCX)) $((LY + NCY + 10)) FFFFFF "moved centre mark, vertical stroke"
expect_pix $((LX + NCX + 10)) $((LY + NCY)) FFFFFF "moved centre mark, horizontal stroke"
expect_not $SX $((SY + 10)) FFFFFF "the old centre mark is gone"

# Show the guide line (check box on the tool panel) and find it at 15 degrees.
xdotool mousemove $((X + PW + 31)) $((Y + 134)) click 1
shot
# Screen point at angle $1 and distance $2 from the gauge centre.
at() { awk -v a="$1" -v r="$2" -v x=$((LX + NCX)) -v y=$((LY + NCY)) \
    'BEGIN { t = a * atan2(0, -1) / 180; printf "%d %d\n", int(x + r * cos(t) + 0.5), int(y - r * sin(t) + 0.5) }'; }
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

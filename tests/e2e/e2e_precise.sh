#!/usr/bin/env bash
# Precise placement in the real program under Xvfb: a double-click inside a pupil moves the drawn
# centre mark to the pupil's centre, the arrow keys move it, and Ctrl+Z brings it back.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

# A 600 x 800 photo (it fills the panel's height) with an eye whose pupil is centred at
# (250, 430) photo pixels, off the photo's middle; mildly blurred and JPEG-compressed.
PHOTO="$WORK/eye.jpg"
$IM -size 600x800 xc:'#c49480' -fill '#e8e2dc' -draw 'ellipse 280,420 260,150 0,360' \
    -fill '#6e5032' -draw 'circle 270,420 270,560' -fill '#161212' -draw 'circle 250,430 250,490' \
    -fill '#fafaf8' -draw 'circle 300,390 300,398' -blur 0x1 -quality 85 "$PHOTO"

start "$BIN/pelvanor" "$PHOTO"
WID=$(window_of "Pelvanor v2.0")
[ -n "$WID" ] || fail "no main window"
geometry "$WID"
sleep 1

# The photo layer, as in the gauge test: height-limited, centred in the panel left of the tools.
PW=$((WIDTH - 163))
LH=$HEIGHT
LW=$(awk -v h=$HEIGHT 'BEGIN { v = h * 0.75; r = int(v + 0.5); if (r - v == 0.5 && r % 2) r--; print r }')
LX=$((X + (PW - LW) / 2))
LY=$Y
# Screen x of the centre mark for a centre at photo x px (of 600), y at photo y py (of 800).
sx() { awk -v w=$LW -v p="$1" 'BEGIN { v = w * p / 600; r = int(v + 0.5); if (r - v == 0.5 && r % 2) r--; print r }'; }
sy() { awk -v h=$LH -v p="$1" 'BEGIN { v = h * p / 800; r = int(v + 0.5); if (r - v == 0.5 && r % 2) r--; print r }'; }
white_near() { # x y: white within a pixel of (x, y) in the last shot
    $IM "$WORK/shot.png" -crop "3x3+$(($1 - 1))+$(($2 - 1))" -format %c histogram:info: | grep -qi "#FFFFFF"
}
mark_at() { # x y (layer pixels): the vertical stroke of the centre mark is there and not 5 px beside it
    # The search runs in the background: a loaded machine may take a few seconds to answer.
    for _ in $(seq 25); do
        sleep 0.2
        shot
        white_near $((LX + $1)) $((LY + $2 + 10)) && break
    done
    white_near $((LX + $1)) $((LY + $2 + 10)) || fail "no centre mark at $1,$2 ($3)"
    near $((LX + $1 - 5)) $((LY + $2 + 10)) 22 18 18 40 || fail "not the pupil beside the mark at $1,$2 ($3)"
}

PX=$(sx 250)
PY=$(sy 430)
echo "photo layer ${LW}x${LH} at $LX,$LY; pupil centre on screen $PX,$PY"

# Double-click inside the pupil, away from its centre.
xdotool mousemove $((LX + PX + 15)) $((LY + PY - 20))
sleep 0.2
xdotool click --repeat 2 --delay 60 1
mark_at "$PX" "$PY" "after the double-click"

# Five presses of the right arrow: five screen pixels.
for _ in 1 2 3 4 5; do xdotool key Right; done
mark_at $((PX + 5)) "$PY" "after five arrow presses"

# Ctrl+Z five times takes the nudges back, once more the centring.
for _ in 1 2 3 4 5; do xdotool key ctrl+z; done
mark_at "$PX" "$PY" "after undoing the nudges"
xdotool key ctrl+z
sleep 0.4
shot
white_near $((LX + LW / 2)) $((LY + LH / 2 + 10)) || fail "the centre is not back in the middle"
xdotool key ctrl+shift+z
mark_at "$PX" "$PY" "after redoing the centring"
echo "PASS"

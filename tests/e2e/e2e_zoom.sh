#!/usr/bin/env bash
# Zoom in the real program under Xvfb: three wheel notches over a square of known size keep its
# point under the pointer and enlarge it 1.25^3 times; Ctrl+0 gives back the fitted view pixel for
# pixel; a middle-button drag pans; a centre drag at 400 % moves the centre by the drag over the
# zoom in photo pixels; the composite does not depend on the zoom.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

# A grey 1086 x 814 photo with a black 40 x 40 square at (822, 361), 5 degrees from the middle,
# between two template rays.
PHOTO="$WORK/square.png"
$IM -size 1086x814 xc:'#808080' -fill black -draw 'rectangle 822,361 861,400' "$PHOTO"

start "$BIN/pelvanor" "$PHOTO"
WID=$(window_of "Pelvanor v2.0") || fail "main window did not appear"
geometry "$WID"
sleep 1
xdotool windowfocus --sync "$WID"
PW=$((WIDTH - 163))
PH=$HEIGHT
# The photo is wider than the panel: it fills the panel's width.
read -r LW LH LX LY <<<"$(awk -v pw=$PW -v ph=$PH 'BEGIN { h = pw * 814 / 1086; r = int(h + 0.5);
    if (r - h == 0.5 && r % 2) r--; printf "%d %d %d %d\n", pw, r, 0, int((ph - r) / 2) }')"
echo "photo layer ${LW}x${LH} at $LX,$LY"
calc() { awk "BEGIN { printf \"%d\n\", $1 }"; }
away() { xdotool mousemove $((X + PW + 80)) $((Y + 330)); sleep 0.5; } # no tooltip there
panel() { shot && $IM "$WORK/shot.png" -crop "${PW}x${PH}+$X+$Y" +repage "$WORK/$1.png"; }
same() { [ "$(compare-im6.q16 -metric AE "$WORK/$1" "$WORK/$2" null: 2>&1 || true)" = 0 ] || fail "$3"; }
copy() { xdotool key ctrl+c; sleep 1; xclip -o -selection clipboard -t image/png >"$WORK/$1"; }
# The dark run through (x, y) of the last panel shot, along a row (h) or a column (v): "first last".
run() {
    local crop
    [ "$1" = h ] && crop="${PW}x1+0+$3" || crop="1x${PH}+$2+0"
    $IM "$WORK/panel.png" -crop "$crop" +repage -colorspace gray -threshold 30% txt:- |
        awk -v d="$1" -v at="$([ "$1" = h ] && echo "$2" || echo "$3")" '
        NR > 1 { split($1, p, /[,:]/); dark[d == "h" ? p[1] : p[2]] = index($0, "#000000") > 0 }
        END { a = at; while (dark[a - 1]) a--; b = at; while (dark[b + 1]) b++; print a, b }'
}
# within value expected tolerance what
within() { awk -v v="$1" -v e="$2" -v t="$3" 'BEGIN { exit !(v - e <= t && e - v <= t) }' || fail "$4: $1, expected $2"; }

away
panel fitted
copy fitted-composite.png

# Three notches over the square's middle (photo 842, 381).
S0=$(awk -v w=$LW 'BEGIN { print w / 1086 }')
PX=$(calc "$LX + 842 * $S0")
PY=$(calc "$LY + 381 * $S0")
xdotool mousemove $((X + PX)) $((Y + PY))
for _ in 1 2 3; do xdotool click 4; sleep 0.2; done
away
panel panel
S3=$(awk -v s=$S0 'BEGIN { print s * 1.25 ^ 3 }')
read -r L R <<<"$(run h $PX $PY)"
read -r T B <<<"$(run v $PX $PY)"
echo "after three notches the square spans x $L..$R, y $T..$B around the pointer at $PX,$PY"
within $((R - L + 1)) "$(calc "40 * $S3 + 0.5")" 2 "square's width on screen"
within $((B - T + 1)) "$(calc "40 * $S3 + 0.5")" 2 "square's height on screen"
# The photo point under the pointer stays there: its distance from the square's edges grows 1.25^3 times.
within $((PX - L)) "$(calc "(($PX - $LX) / $S0 - 822) * $S3 + 0.5")" 1.5 "pointer's distance from the square's left"
within $((PY - T)) "$(calc "(($PY - $LY) / $S0 - 361) * $S3 + 0.5")" 1.5 "pointer's distance from the square's top"
copy zoomed-composite.png
same fitted-composite.png zoomed-composite.png "the composite changed with the zoom"

# A middle-button drag pans the view by as much.
xdotool mousemove $((X + PX)) $((Y + PY)) mousedown 2
for step in 10 20 30 40; do xdotool mousemove $((X + PX - step)) $((Y + PY - step / 2)); sleep 0.05; done
xdotool mouseup 2
away
panel panel
read -r L2 _ <<<"$(run h $((PX - 40)) $((PY - 20)))"
within $((L2 - L)) -40 1 "square's left edge after panning 40 pixels left"

# Ctrl+0: the fitted view, pixel for pixel.
xdotool key ctrl+0
away
panel back
same fitted.png back.png "Ctrl+0 did not give back the fitted view"

# Eight notches over the gauge centre: 1.25^8 screen pixels per layer pixel, 400 % on a 729-pixel
# layer; the centre dragged by (60, 40) screen pixels moves by (15, 10) photo pixels there.
CX=$((LX + LW / 2))
CY=$((LY + LH / 2))
xdotool mousemove $((X + CX)) $((Y + CY))
for _ in 1 2 3 4 5 6 7 8; do xdotool click 4; sleep 0.2; done
xdotool mousemove $((X + CX + 1)) $((Y + CY)) mousemove $((X + CX)) $((Y + CY)) mousedown 1
for step in 1 2 3 4 5 6; do xdotool mousemove $((X + CX + 10 * step)) $((Y + CY + 20 * step / 3)); sleep 0.05; done
xdotool mouseup 1
away
copy dragged-composite.png
Z8=5.9604644775390625 # 1.25^8
"$BIN/pelvanor-render" --offset "$(awk -v w=$LW -v h=$LH -v z=$Z8 'BEGIN { printf "%.9f,%.9f", 60 / (w * z), 40 / (h * z) }')" "$PHOTO" \
    "$WORK/expected.png"
same dragged-composite.png expected.png "the centre did not move by (15, 10) photo pixels"
echo "PASS"

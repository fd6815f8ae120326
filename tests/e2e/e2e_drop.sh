#!/usr/bin/env bash
# Files dropped from another program over the tool panel's controls load the photo: the edit box
# and the spin fields do not take the file's address as text.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

$IM -size 400x400 xc:'#ff0000' "$WORK/red.png"
$IM -size 400x400 xc:'#00ff00' "$WORK/green.png"
$IM -size 400x400 xc:'#0000ff' "$WORK/blue.png"

start "$BIN/pelvanor"
WID=$(window_of "Pelvanor v2.0") || fail "main window did not appear"
xdotool windowmove "$WID" 300 100
sleep 0.3
geometry "$WID"
MX=$X MY=$Y
TOOLS=$((MX + 729)) # the tool panel's left edge on the screen

drop_at() { # file x y : drags the file from a drag source and releases it at (x, y)
    start "$BIN/pelvanor-dragsource" "$1"
    local src
    src=$(window_of dragsource) || fail "drag source did not appear"
    geometry "$src"
    xdotool mousemove $((X + 60)) $((Y + 40)) mousedown 1
    for step in 1 2 3 4 5 6 7 8 9 10; do
        xdotool mousemove $((X + 60 + ($2 - X - 60) * step / 10)) $((Y + 40 + ($3 - Y - 40) * step / 10))
        sleep 0.1
    done
    xdotool mousemove "$2" "$3"; sleep 0.3
    xdotool mouseup 1
    sleep 0.3
    kill "${PIDS[-1]}" 2>/dev/null || true
    wait_until 10 eval '! xdotool search --name "^dragsource\$" >/dev/null' || fail "drag source did not close"
}

# The darkest grey level inside the reference box (its text would be dark).
reference_darkest() {
    shot
    $IM "$WORK/shot.png" -crop 125x13+$((TOOLS + 6 + 8 + 6))+$((MY + 377 + 16 + 4)) +repage \
        -colorspace Gray -format "%[fx:round(255*minima)]" info:
}

photo_is() { shot; near $((MX + 300)) $((MY + 300)) "$@"; }

drop_at "$WORK/red.png" $((TOOLS + 6 + 8 + 60)) $((MY + 377 + 16 + 10))  # over Referencia
wait_until 10 photo_is 255 0 0 || fail "file dropped on the reference box did not load"
[ "$(reference_darkest)" -gt 200 ] || fail "the reference box took the dropped file as text"

drop_at "$WORK/green.png" $((TOOLS + 6 + 68 + 12)) $((MY + 128 + 20 + 11))  # over GuiaGrados
wait_until 10 photo_is 0 255 0 || fail "file dropped on a spin field did not load"

drop_at "$WORK/blue.png" $((TOOLS + 11 + 70)) $((MY + 8 + 12))  # over "Abrir imagen"
wait_until 10 photo_is 0 0 255 || fail "file dropped on a button did not load"
[ "$(reference_darkest)" -gt 200 ] || fail "the reference box is not empty"
echo "e2e drop: all checks passed"

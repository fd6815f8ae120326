#!/usr/bin/env bash
# The settings dialog in the real program: "Ajustes" opens it where its layout puts it, "5 grados"
# and "Aceptar" keep the new step (the template then shows 72 rays instead of 36), a second showing
# starts from the accepted values and Escape closes it.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

click() { xdotool mousemove --sync "$1" "$2" click 1; }
dialog_shown() { xdotool search --onlyvisible --name '^Opciones$' >/dev/null; }
dialog_closed() { ! dialog_shown; }
alive() { kill -0 "${PIDS[0]}" || fail "the program ended"; }
# Signature of a region "WxH+X+Y" of the last shot.
region() { $IM "$WORK/shot.png" -crop "$1" +repage -format '%#' info:; }

# count_rays CX CY: light rays (anti-aliased ones too) crossing the ring 50 to 75 pixels round
# (CX, CY) in the last shot, where the test photo shows its dark green iris.
count_rays() {
    local r=75
    $IM "$WORK/shot.png" -crop "$((2 * r + 1))x$((2 * r + 1))+$(($1 - r))+$(($2 - r))" +repage -depth 8 txt:- |
        awk -v r="$r" -F'[ ,:()]+' '
            NR > 1 && $3 >= 140 && $4 >= 140 && $5 >= 140 {
                dx = $1 - r; dy = r - $2; d = sqrt(dx * dx + dy * dy)
                if (d >= 50 && d <= r) { a = int((atan2(dy, dx) * 180 / 3.14159265 + 360) % 360); hit[a] = 1 }
            }
            END {
                runs = 0; n = 0
                for (a in hit) n++
                for (a = 0; a < 360; a++) if ((a in hit) && !((a + 359) % 360 in hit)) runs++
                if (runs == 0 && n == 360) runs = 1
                print runs
            }'
}

start "$BIN/pelvanor" "$DATA/eye_600x400.jpg"
geometry "$(window_of "Pelvanor v2.0")"
MX=$X MY=$Y
# The 600 x 400 photo fills the 729-pixel screen panel: 729 x 486 at top 60; the gauge centre
# is in its middle (364.5 rounds to 364).
CX=$((MX + 364)) CY=$((MY + 60 + 243))
wait_until 10 eval 'shot; near $((CX + 10)) $((CY + 10)) 0 0 0 0' || fail "the photo was not shown"
# The overlay can reach the screen a moment after the photo (much later in a sanitized build).
wait_until 10 eval 'shot; [[ $(count_rays "$CX" "$CY") == 36 ]]' ||
    fail "expected 36 template rays at 10 degrees, found $(count_rays "$CX" "$CY")"

# "Ajustes" is Button1 of the 163-pixel tool panel at the window's right edge.
AJUSTES="$((MX + 729 + 11 + 70)) $((MY + 288 + 12))"
click $AJUSTES
wait_until 10 dialog_shown || fail "Ajustes did not open the settings dialog"
geometry "$(xdotool search --onlyvisible --name '^Opciones$' | head -1)"
[[ "$WIDTH x $HEIGHT" == "470 x 271" ]] || fail "dialog is $WIDTH x $HEIGHT, expected 470 x 271"
# At its layout position (842, 326), moved left just enough to stay on the 1280-pixel screen.
[[ "$X,$Y" == "810,326" ]] || fail "dialog at $X,$Y, expected 810,326"
sleep 0.3
shot
# The step radio buttons: GroupBox2 at (144, 16) inside GroupBox1 at (5, 10).
STEPS="81x33+$((X + 5 + 144 + 8))+$((Y + 10 + 16 + 16))"
steps_first=$(region "$STEPS")
click $((X + 5 + 144 + 8 + 7)) $((Y + 10 + 16 + 32 + 8)) # "5 grados"
click $((X + 368 + 48)) $((Y + 240 + 12))                 # "Aceptar"
wait_until 10 dialog_closed || fail "the settings dialog did not close"
alive
wait_until 10 eval 'shot; [[ $(count_rays "$CX" "$CY") == 72 ]]' ||
    fail "expected 72 template rays at 5 degrees, found $(count_rays "$CX" "$CY")"

# The next showing starts from the accepted step: the radio buttons look different than at first.
click $AJUSTES
wait_until 10 dialog_shown || fail "Ajustes did not open the settings dialog a second time"
sleep 0.3
shot
[[ $(region "$STEPS") != "$steps_first" ]] || fail "the accepted step is not shown in the second showing"
xdotool key Escape
wait_until 10 dialog_closed || fail "Escape did not close the settings dialog"
alive
echo "OK"

#!/usr/bin/env bash
# The settings dialog in the real program: "Ajustes" opens it where its layout puts it, "5 grados"
# and "Aceptar" keep the new step (the template then shows 72 rays instead of 36), a second showing
# starts from the accepted values and Escape closes it.
# Usage: e2e_settings.sh BIN_DIR DATA_DIR (inside an X server; set PELVANOR_E2E_SHOTS to keep screenshots).
set -euo pipefail
BIN_DIR=$1
DATA_DIR=$2

WORK=$(mktemp -d)
PID=
cleanup() {
    if [[ -n $PID ]] && kill -0 "$PID" 2>/dev/null; then
        kill "$PID"
    fi
    if [[ -n ${PELVANOR_E2E_SHOTS:-} ]]; then
        mkdir -p "$PELVANOR_E2E_SHOTS" && cp "$WORK"/*.png "$PELVANOR_E2E_SHOTS"/ 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

shot() { import -window root "$WORK/$1.png"; }
# pixel NAME X Y: "r,g,b" of a screenshot pixel.
pixel() { convert-im6.q16 "$WORK/$1.png" -crop "1x1+$2+$3" -depth 8 -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:; }
# click X Y in screen coordinates.
click() { xdotool mousemove --sync "$1" "$2" click 1; }
# The visible settings dialog's window id, waiting up to 10 s for it.
dialog_window() {
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name '^Opciones$' 2>/dev/null | head -1 && return 0
        sleep 0.2
    done
    return 1
}
wait_dialog_closed() {
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name '^Opciones$' >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    fail "the settings dialog did not close"
}

# count_rays NAME CX CY: light rays (anti-aliased ones too) crossing the ring 50 to 75 pixels
# round (CX, CY), where the test photo shows its dark green iris.
count_rays() {
    local r=75
    convert-im6.q16 "$WORK/$1.png" -crop "$((2 * r + 1))x$((2 * r + 1))+$(($2 - r))+$(($3 - r))" +repage \
        -depth 8 txt:- |
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

"$BIN_DIR/pelvanor" "$DATA_DIR/eye_600x400.jpg" &
PID=$!
MAIN=$(timeout 20 xdotool search --sync --name "Pelvanor v2.0" | head -1)
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
MX=$X
MY=$Y
# The 600 x 400 photo fills the 729-pixel screen panel: 729 x 486 at top 60; the gauge centre
# is in its middle (364.5 rounds to 364).
CX=$((MX + 364))
CY=$((MY + 60 + 243))
for _ in $(seq 50); do
    shot main
    [[ $(pixel main $((CX + 10)) $((CY + 10))) == 0,0,0 ]] && break
    sleep 0.2
done
[[ $(pixel main $((CX + 10)) $((CY + 10))) == 0,0,0 ]] || fail "the photo was not shown"
rays=$(count_rays main "$CX" "$CY")
[[ $rays == 36 ]] || fail "expected 36 template rays at 10 degrees, found $rays"

# "Ajustes" is Button1 of the 163-pixel tool panel at the window's right edge.
AJUSTES_X=$((MX + 729 + 11 + 70))
AJUSTES_Y=$((MY + 288 + 12))
click "$AJUSTES_X" "$AJUSTES_Y"
DLG=$(dialog_window) || fail "Ajustes did not open the settings dialog"
[[ $(xdotool getwindowname "$DLG") == Opciones ]] || fail "caption is not Opciones"
eval "$(xdotool getwindowgeometry --shell "$DLG")"
[[ "$WIDTH x $HEIGHT" == "470 x 271" ]] || fail "dialog is $WIDTH x $HEIGHT, expected 470 x 271"
# At its layout position (842, 326), moved left just enough to stay on the 1280-pixel screen.
[[ "$X,$Y" == "810,326" ]] || fail "dialog at $X,$Y, expected 810,326"
DX=$X
DY=$Y
sleep 0.3
shot dialog_first
# The step radio buttons: GroupBox2 at (144, 16) inside GroupBox1 at (5, 10).
STEPS="81x33+$((DX + 5 + 144 + 8))+$((DY + 10 + 16 + 16))"
click $((DX + 5 + 144 + 8 + 7)) $((DY + 10 + 16 + 32 + 8))   # "5 grados"
click $((DX + 368 + 48)) $((DY + 240 + 12))                   # "Aceptar"
wait_dialog_closed
kill -0 "$PID" || fail "the program ended"

sleep 0.3
shot accepted
rays=$(count_rays accepted "$CX" "$CY")
[[ $rays == 72 ]] || fail "expected 72 template rays at 5 degrees, found $rays"

# The next showing starts from the accepted step: the radio buttons look different than at first.
click "$AJUSTES_X" "$AJUSTES_Y"
DLG=$(dialog_window) || fail "Ajustes did not open the settings dialog a second time"
sleep 0.3
shot dialog_second
a=$(convert-im6.q16 "$WORK/dialog_first.png" -crop "$STEPS" +repage -format '%#' info:)
b=$(convert-im6.q16 "$WORK/dialog_second.png" -crop "$STEPS" +repage -format '%#' info:)
[[ $a != "$b" ]] || fail "the accepted step is not shown in the second showing"
xdotool key Escape
wait_dialog_closed
kill -0 "$PID" || fail "the program ended"
echo "OK"

#!/usr/bin/env bash
# The keys in the real program, typed through the X server: Ctrl+C puts the composite on the
# clipboard for other programs (read back with xclip), Ctrl+V pastes a photo but pastes text in
# the reference field, Ctrl+O and Ctrl+S open their dialogs, Ctrl+Q quits.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

$IM -size 600x400 xc:'#202020' "$WORK/dark.png"
$IM -size 600x400 xc:'#0000ff' "$WORK/blue.png"
$IM -size 300x200 xc:'#00ff00' "$WORK/green.png"
dialog() { timeout 10 xdotool search --sync --onlyvisible --name "^($1)\$" | head -1; } # Qt's titles are Spanish
no_message() { ! xdotool search --onlyvisible --name '^Pelvanor v1.1$' >/dev/null; }
clip_in() { # type file ; serves the clipboard until the program takes it over
    xclip -quiet -selection clipboard -t "$1" -i "$2" >/dev/null 2>&1 &
    PIDS+=($!)
    sleep 0.5
}

start "$BIN/pelvanor" "$WORK/dark.png"
APP=${PIDS[0]}
WID=$(window_of "Pelvanor v2.0") || fail "main window did not appear"
geometry "$WID"
# Every photo here is 3:2: 729 x 486 at top 60 of the screen panel.
shown() { shot && near $((X + 2)) $((Y + 61)) "$@" && near $((X + 726)) $((Y + 544)) "$@"; }
wait_until 10 shown 32 32 32 || fail "photo not shown"
xdotool windowfocus --sync "$WID"

# Ctrl+C: another program gets the composite as PNG, at the photo's size, as pelvanor-render draws it.
xdotool key ctrl+c
wait_until 10 eval 'xclip -o -selection clipboard -t TARGETS | grep -qx image/png' || fail "no image/png offered"
xclip -o -selection clipboard -t image/png >"$WORK/clip.png"
[ "$(identify -format %wx%h "$WORK/clip.png")" = 600x400 ] || fail "clipboard image is not 600 x 400"
"$BIN/pelvanor-render" "$WORK/dark.png" "$WORK/rendered.png"
diff=$(compare-im6.q16 -metric AE "$WORK/clip.png" "$WORK/rendered.png" null: 2>&1 || true)
[ "$diff" = 0 ] || fail "clipboard image differs from the composite in $diff pixels"

# Ctrl+V: the clipboard's photo.
clip_in image/png "$WORK/green.png"
xdotool key ctrl+v
wait_until 10 shown 0 255 0 || fail "Ctrl+V did not paste the photo"

# In the reference field Ctrl+V pastes text, and Ctrl+C copies it; the photo stays.
printf 'ojo izq' >"$WORK/text.txt"
clip_in UTF8_STRING "$WORK/text.txt"
xdotool mousemove --sync $((X + 729 + 6 + 8 + 60)) $((Y + 377 + 16 + 10)) click 1
xdotool key ctrl+v
sleep 0.3
printf 'other' | xclip -selection clipboard -i
xdotool key ctrl+a ctrl+c
wait_until 10 eval '[ "$(xclip -o -selection clipboard)" = "ojo izq" ]' || fail "the reference field did not paste text"
no_message || fail "Ctrl+V in the reference field tried to paste a photo"
shown 0 255 0 || fail "the photo changed"

# Ctrl+O and Ctrl+S: their dialogs, typed into.
xdotool key ctrl+o
OPEN=$(dialog "Abrir|Open") || fail "Ctrl+O did not open the file dialog"
# Typed only once the dialog holds the keyboard: on a loaded machine it shows before it takes it.
xdotool windowfocus --sync "$OPEN"
sleep 0.5
xdotool type --delay 20 "$WORK/blue.png"
xdotool key Return
wait_until 10 shown 0 0 255 || fail "the photo chosen after Ctrl+O was not opened"
xdotool windowfocus --sync "$WID" # no window manager gives the focus back after a dialog
xdotool key ctrl+s
SAVE=$(dialog "Guardar como|Save As") || fail "Ctrl+S did not open the save dialog"
xdotool windowfocus --sync "$SAVE"
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 20 "$WORK/saved.png"
xdotool key Return
wait_until 20 test -s "$WORK/saved.png" || fail "nothing saved after Ctrl+S"
sleep 0.5
[ "$(identify -format %wx%h "$WORK/saved.png")" = 600x400 ] || fail "saved image is not 600 x 400"

# Ctrl+Q ends the program.
xdotool windowfocus --sync "$WID"
xdotool key ctrl+q
wait_until 10 eval '! kill -0 $APP' || fail "Ctrl+Q did not end the program"
echo "e2e shortcuts: all checks passed"

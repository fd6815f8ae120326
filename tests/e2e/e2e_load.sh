#!/usr/bin/env bash
# The real program in an X server: a photo from the command line, a resize, a paste and a drop,
# each checked on a screenshot against the rectangle the fit gives.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

$IM -size 600x400 xc:'#ff0000' "$WORK/red.png"
$IM -size 600x800 xc:'#0000ff' "$WORK/blue portrait.png"
$IM -size 400x400 xc:'#00ff00' "$WORK/green ñ.png"
not_near() { ! near "$@" 2>/dev/null; }

start "$BIN/pelvanor" "$WORK/red.png"
WID=$(window_of "Pelvanor v2.0") || fail "main window did not appear"
[ "$(xdotool getwindowname "$WID")" = "Pelvanor v2.0" ] || fail "caption is not exactly Pelvanor v2.0"
geometry "$WID"
[ "$WIDTH" = 892 ] && [ "$HEIGHT" = 606 ] || fail "client area is ${WIDTH}x$HEIGHT"
# 1280 x 1024 screen: the layout position (811, 287) does not fit, so the window is moved fully on screen.
[ "$X" = 388 ] && [ "$Y" = 287 ] || fail "window at $X,$Y"

# 600 x 400 in the 729 x 606 panel: 729 x 486 at top 60.
wait_until 10 eval 'shot; near $((X+2)) $((Y+61)) 255 0 0'  || fail "photo not shown at its fitted place"
near $((X+726)) $((Y+544)) 255 0 0 || fail "photo's lower right corner"
not_near $((X+2)) $((Y+58)) 255 0 0 || fail "photo drawn above its rectangle"
not_near $((X+726)) $((Y+547)) 255 0 0 || fail "photo drawn below its rectangle"

# Resize: 929 x 806 panel, photo 929 x 619 at top 93.
xdotool windowmove "$WID" 0 150
xdotool windowsize "$WID" 1092 806
geometry "$WID"
wait_until 10 eval 'shot; near $((X+2)) $((Y+94)) 255 0 0 && not_near $((X+2)) $((Y+91)) 255 0 0' \
    || fail "photo not refitted after the resize"
near $((X+926)) $((Y+710)) 255 0 0 || fail "refitted photo's lower right corner"
not_near $((X+926)) $((Y+713)) 255 0 0 || fail "refitted photo too tall"

# Paste a PNG from the X clipboard: 600 x 800 becomes 604 x 806 at left 162.
xclip -quiet -selection clipboard -t image/png -i "$WORK/blue portrait.png" >/dev/null 2>&1 &
PIDS+=($!)
sleep 0.5
xdotool mousemove $((X+929+80)) $((Y+52)) click 1
wait_until 10 eval 'shot; near $((X+164)) $((Y+3)) 0 0 255' || fail "pasted photo not shown"
not_near $((X+160)) $((Y+3)) 0 0 255 || fail "pasted photo too wide on the left"
near $((X+764)) $((Y+803)) 0 0 255 || fail "pasted photo's lower right corner"
not_near $((X+767)) $((Y+3)) 0 0 255 || fail "pasted photo too wide on the right"

# Drop a file from another program: 400 x 400 becomes 806 x 806 at left 61.
start "$BIN/pelvanor-dragsource" "$WORK/green ñ.png"
SRC=$(window_of dragsource) || fail "drag source did not appear"
geometry "$SRC"
xdotool mousemove $((X+60)) $((Y+40)) mousedown 1
for step in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove $((X+60+step*40)) $((Y+40+step*40)); sleep 0.1
done
xdotool mousemove 500 500; sleep 0.3
xdotool mouseup 1
geometry "$WID"
wait_until 10 eval 'shot; near $((X+63)) $((Y+3)) 0 255 0' || fail "dropped photo not shown"
not_near $((X+59)) $((Y+3)) 0 255 0 || fail "dropped photo too wide"

# A name on the command line that cannot be opened: the message appears after the main window.
start "$BIN/pelvanor" "$WORK/missing.jpg"
window_of "Pelvanor v1.1" >/dev/null || fail "no message for an unopenable photo"
echo "e2e load: all checks passed"

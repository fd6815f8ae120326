#!/usr/bin/env bash
# The interface language in the real program: an English LANG starts it in English, another
# language in Spanish, an empty LANG follows the system locale; the flags switch a running program,
# whose tool panel then looks exactly as in a program started in that language, and the hidden
# settings dialog opens in the new language.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

click() { xdotool mousemove --sync "$1" "$2" click 1; }
shown() { xdotool search --onlyvisible --name "^$1\$" >/dev/null; }
region() { $IM "$WORK/shot.png" -crop "$1" +repage -format '%#' info:; }

# Starts the program with the environment given, sets MX MY HEIGHT of its window and PANEL, the
# signature of the tool panel above "Ajustes" (buttons, group titles, labels).
run() {
    start env "$@" "$BIN/pelvanor"
    local wid
    wid=$(window_of "Pelvanor v2.0") || fail "main window did not appear ($*)"
    geometry "$wid"
    MX=$X MY=$Y
    sleep 0.5
    shot
    PANEL=$(region "163x280+$((MX + 729))+$MY")
}
stop() { kill "${PIDS[-1]}"; wait "${PIDS[-1]}" 2>/dev/null || true; unset 'PIDS[-1]'; }

# Opens the settings dialog with the button "Ajustes"/"Settings", expects the title, closes it.
settings_title() {
    click $((MX + 729 + 11 + 70)) $((MY + 288 + 12))
    wait_until 10 shown "$1" || fail "the settings dialog is not titled \"$1\""
    xdotool key Escape
    wait_until 10 eval '! shown "$1"' || fail "the settings dialog did not close"
}
flag() { # es|gb: the flags lie at the tool panel's lower left corner, 16 x 11 each
    local left=3
    [ "$1" = gb ] && left=40
    click $((MX + 729 + left + 8)) $((MY + HEIGHT - 3 - 6))
    sleep 0.3
    shot
}

run LANG=en_GB.UTF-8
ENGLISH=$PANEL
settings_title Settings
stop

run LANG=fr_FR.UTF-8
[ "$PANEL" != "$ENGLISH" ] || fail "a French LANG did not start in Spanish"
stop

run LANG= LC_ALL=en_US.UTF-8
[ "$PANEL" = "$ENGLISH" ] || fail "an empty LANG with an English system locale did not start in English"
stop

run LANG=es_ES.UTF-8
SPANISH=$PANEL
settings_title Opciones
flag gb
[ "$(region "163x280+$((MX + 729))+$MY")" = "$ENGLISH" ] || fail "the British flag did not switch the tool panel"
settings_title Settings
flag es
[ "$(region "163x280+$((MX + 729))+$MY")" = "$SPANISH" ] || fail "the Spanish flag did not switch back"
settings_title Opciones
[ "$(xdotool getwindowname "$(window_of "Pelvanor v2.0")")" = "Pelvanor v2.0" ] || fail "main caption changed"
echo "OK"

#!/usr/bin/env bash
# Printing from the real program to a real CUPS queue that writes PDF files, and to a PDF file with
# no print server at all. Each page is rendered at 10 pixels per millimetre and the composite's box
# on it must lie where the dialog put it, to within half a millimetre.
# The print server is this test's own: its configuration, spool and socket live in the test's
# folder, and it is stopped by its PID.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

[ "$(id -u)" -eq 0 ] || fail "the print test runs cupsd and must run as root"
chmod 755 "$WORK" # the spooler's filters run as another user
INSTANCE="pelvanor$$"
CUPS_PDF_CONF="/etc/cups/cups-pdf-$INSTANCE.conf"
CUPSD_PID=""
# cupsd writes its state while it stops: wait for it before the folder goes.
stop_cups() {
    [ -n "$CUPSD_PID" ] || return 0
    kill "$CUPSD_PID" 2>/dev/null || true
    wait "$CUPSD_PID" 2>/dev/null || true
}
trap 'stop_cups; rm -f "$CUPS_PDF_CONF"; cleanup' EXIT

start_cups() {
    mkdir -p "$WORK"/cups/{etc,spool/tmp,cache,state,log} "$WORK/out"
    cat >"$WORK/cups/etc/cupsd.conf" <<EOF
Listen $WORK/cups.sock
LogLevel warn
WebInterface No
Browsing No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    cat >"$WORK/cups/etc/cups-files.conf" <<EOF
ServerRoot $WORK/cups/etc
RequestRoot $WORK/cups/spool
TempDir $WORK/cups/spool/tmp
CacheDir $WORK/cups/cache
StateDir $WORK/cups/state
ServerBin /usr/lib/cups
DataDir /usr/share/cups
AccessLog $WORK/cups/log/access_log
ErrorLog $WORK/cups/log/error_log
PageLog $WORK/cups/log/page_log
EOF
    # This queue's cups-pdf instance writes into the test's folder.
    sed "s|^Out .*|Out $WORK/out|" /etc/cups/cups-pdf.conf >"$CUPS_PDF_CONF"
    /usr/sbin/cupsd -f -c "$WORK/cups/etc/cupsd.conf" -s "$WORK/cups/etc/cups-files.conf" &
    CUPSD_PID=$!
    export CUPS_SERVER="$WORK/cups.sock"
    wait_until 20 eval 'LC_ALL=C lpstat -r | grep -q "is running"' || fail "cupsd did not start: $(cat "$WORK/cups/log/error_log" 2>&1)"
    lpadmin -p PDF -v "cups-pdf:/$INSTANCE" -E -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null
    lpadmin -d PDF
    # A second queue whose own paper is A5 with 10 mm margins.
    sed -e 's/^\*Default\(PageSize\|PageRegion\|ImageableArea\|PaperDimension\): A4/*Default\1: A5/' \
        -e 's|^\*ImageableArea A5/A5: .*|*ImageableArea A5/A5: "28.35 28.35 392.65 566.65"|' \
        /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd >"$WORK/a5.ppd"
    lpadmin -p A5 -v "cups-pdf:/$INSTANCE" -E -P "$WORK/a5.ppd" 2>/dev/null
}

click() { xdotool mousemove --sync "$1" "$2" click 1; }
type_into() { # x y text: replaces a field's text
    click "$1" "$2"
    xdotool key ctrl+a type "$3"
    xdotool key Tab
}
dialog_shown() { xdotool search --onlyvisible --name '^Imprimir$' >/dev/null; }
dialog_closed() { ! dialog_shown; }

open_dialog() { # sets DX DY, the dialog's client origin
    click $((MX + 729 + 100 + 28)) $((MY + 434 + 12)) # "Imprimir" in the tool panel
    wait_until 20 dialog_shown || fail "the print button did not open the dialog"
    geometry "$(xdotool search --onlyvisible --name '^Imprimir$' | head -1)"
    DX=$X DY=$Y
    sleep 0.3
}
field() { # name -> "x y" of a spin field's text on screen
    case "$1" in
    copies) echo $((DX + 68 + 15)) $((DY + 36 + 11)) ;;
    top) echo $((DX + 208 + 60 + 15)) $((DY + 40 + 20 + 11)) ;;
    left) echo $((DX + 208 + 60 + 15)) $((DY + 40 + 48 + 11)) ;;
    width) echo $((DX + 208 + 56 + 15)) $((DY + 136 + 20 + 11)) ;;
    height) echo $((DX + 208 + 56 + 15)) $((DY + 136 + 48 + 11)) ;;
    esac
}
press_print() {
    click $((DX + 344 + 37)) $((DY + 280 + 12))
    wait_until 60 dialog_closed || fail "the dialog did not close after printing"
}

# check_box PDF left top width height (mm): the dark box on the page, within half a millimetre.
check_box() {
    pdftoppm -r 254 -gray -singlefile "$1" "$WORK/page"
    local box
    box=$($IM "$WORK/page.pgm" -threshold 78% -bordercolor white -border 1 -format '%@' info:)
    local w h x y
    IFS='x+' read -r w h x y <<<"$box"
    x=$((x - 1)) y=$((y - 1))
    local want=("$(($2 * 10))" "$(($3 * 10))" "$(($4 * 10))" "$(($5 * 10))") got=("$x" "$y" "$w" "$h")
    for i in 0 1; do
        local d=$((got[i] - want[i]))
        [ "${d#-}" -le 5 ] || fail "$1: box at ${x},${y} ${w}x${h} (0.1 mm), expected ${want[*]}"
    done
    for i in 2 3; do # the far edges
        local d=$((got[i] + got[i - 2] - want[i] - want[i - 2]))
        [ "${d#-}" -le 5 ] || fail "$1: box at ${x},${y} ${w}x${h} (0.1 mm), expected ${want[*]}"
    done
}

# next_pdf N: waits for the Nth finished job and names its file.
next_pdf() {
    wait_until 60 eval '[ "$(lpstat -W completed -o | wc -l)" -ge '"$1"' ]' || fail "job $1 did not finish"
    wait_until 10 eval '[ "$(ls "$WORK/out" | wc -l)" -ge '"$1"' ]' || fail "job $1 wrote no PDF"
    ls -t "$WORK/out"/*.pdf | head -1
}

# A dark 1200 x 800 photo: the composite covers 3:2 of the page and contrasts with the paper.
$IM -size 1200x800 xc:'#1e1e5a' -units PixelsPerInch -density 96 "$WORK/photo.png"

start_cups
start "$BIN/pelvanor" "$WORK/photo.png"
geometry "$(window_of "Pelvanor v2.0")"
MX=$X MY=$Y
sleep 0.5

# cups-pdf prints A4 with no margins: 210 x 297 mm. At 100 % the 3:2 composite fills the width.
open_dialog
press_print
check_box "$(next_pdf 1)" 0 0 210 140

# 50 %, centred: 105 x 70 mm at (round(52.5), round(113.5)) = (52, 114).
open_dialog
type_into $(field width) 50
click $((DX + 208 + 152 + 25)) $((DY + 40 + 32 + 12)) # "Centrar"
press_print
check_box "$(next_pdf 2)" 52 114 105 70

# Distorted, two copies: fit to page, allow distortion, height 50 % and width 80 %, at (20, 30).
open_dialog
click $((DX + 208 + 136 + 34)) $((DY + 136 + 24 + 20)) # "Ajustar a la página"
click $((DX + 208 + 56 + 6)) $((DY + 136 + 88 + 8))    # "Permitir distorsión"
type_into $(field height) 50
type_into $(field width) 80
type_into $(field top) 30
type_into $(field left) 20
type_into $(field copies) 2
press_print
check_box "$(next_pdf 3)" 20 30 168 70
grep -q "^PDF root 3 .* total 2 " "$WORK/cups/log/page_log" ||
    fail "the two copies did not reach the queue: $(cat "$WORK/cups/log/page_log")"

# A queue that refuses jobs: the error box names the reason, the dialog closes, nothing is printed.
cupsreject PDF
open_dialog
click $((DX + 344 + 37)) $((DY + 280 + 12))
error_box() { xdotool search --onlyvisible --name '^Pelvanor v1.1$' >/dev/null; }
wait_until 30 error_box || fail "a refused job was not reported"
dialog_closed || fail "the dialog stayed open after the error"
xdotool key Return
wait_until 10 eval '! error_box' || fail "the error box did not close"
sleep 1
[ "$(lpstat -W all -o | wc -l)" -eq 3 ] || fail "a job reached the refusing queue"
cupsaccept PDF

# A typed name that is no printer falls back to the default printer; Enter in the list does not print.
printer_list() { click $((DX + 68 + 100)) $((DY + 8 + 10)); xdotool key ctrl+a type "$1"; xdotool key Return; sleep 0.5
    dialog_shown || fail "Enter in the printer list printed"; }
open_dialog
printer_list Zzz
press_print
next_pdf 4 >/dev/null
grep -q "^PDF root 4 " "$WORK/cups/log/page_log" || fail "a name that is no printer did not print on the default"

# The typed A5 queue brings its own paper: an A5 page whose printable area starts 10 mm in.
open_dialog
printer_list A5
click $((DX + 208 + 136 + 34)) $((DY + 136 + 24 + 20)) # "Ajustar a la página"
type_into $(field top) 0
type_into $(field left) 0
type_into $(field copies) 1
press_print
A5_PDF=$(next_pdf 5)
pdfinfo "$A5_PDF" | grep -q "^Page size:.*(A5)$" || fail "not an A5 page: $(pdfinfo "$A5_PDF")"
grep -q "^A5 root 5 .* A5 one-sided" "$WORK/cups/log/page_log" || fail "not sent as A5: $(cat "$WORK/cups/log/page_log")"
check_box "$A5_PDF" 10 10 128 85

# No print server at all: no message at start-up, the PDF file is the only destination.
kill "${PIDS[0]}"
wait "${PIDS[0]}" || true
export CUPS_SERVER=/nonexistent.sock
start "$BIN/pelvanor" "$WORK/photo.png"
geometry "$(window_of "Pelvanor v2.0")"
MX=$X MY=$Y
sleep 1
if xdotool search --onlyvisible --name '^Pelvanor v1.1$' >/dev/null; then fail "a message was shown at start-up"; fi
open_dialog
click $((DX + 344 + 37)) $((DY + 280 + 12))
# The file dialog proposes the photo's name with "_ang.pdf" beside it; Return takes it.
file_dialog() { xdotool search --onlyvisible --name '.' | grep -vxF -e "$(window_of "Pelvanor v2.0")" -e "$DIALOG_ID" >/dev/null; }
DIALOG_ID=$(xdotool search --onlyvisible --name '^Imprimir$' | head -1)
wait_until 20 file_dialog || fail "Imprimir asked for no file name"
sleep 0.5
xdotool key Return
wait_until 20 dialog_closed || fail "the dialog did not close after writing the PDF"
wait_until 20 test -s "$WORK/photo_ang.pdf" || fail "no PDF file was written: $(ls "$WORK")"
check_box "$WORK/photo_ang.pdf" 0 0 210 140
echo "OK"

# Helpers for the end-to-end scripts: start programs in the test's X server, read screen pixels.
BIN="$1"
DATA="$2"
WORK="$(mktemp -d)"
PIDS=()
IM=convert-im6.q16

cleanup() {
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

start() { # command... ; remembers its PID
    "$@" >"$WORK/out.$$.${#PIDS[@]}" 2>&1 &
    PIDS+=($!)
}

window_of() { # name -> window id, waiting up to 30 s; fails when no such window appears
    local id end=$((SECONDS + 30))
    until id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1) && [ -n "$id" ]; do
        [ $SECONDS -ge $end ] && { echo "no window named \"$1\"" >&2; return 1; }
        sleep 0.2
    done
    echo "$id"
}

geometry() { # window id -> sets X Y WIDTH HEIGHT
    [ -n "$1" ] || fail "no window to measure"
    eval "$(xdotool getwindowgeometry --shell "$1")"
}

shot() { import -window root "$WORK/shot.png"; }

pixel() { # x y -> "r g b" of the last shot
    $IM "$WORK/shot.png" -format "%[fx:round(255*p{$1,$2}.r)] %[fx:round(255*p{$1,$2}.g)] %[fx:round(255*p{$1,$2}.b)]" info:
}

# Succeeds when the pixel is within tolerance of the colour "r g b".
near() { # x y r g b [tolerance]
    local got tol=${6:-24}
    got=$(pixel "$1" "$2")
    read -r R G B <<<"$got"
    local d=$(( (R-$3)*(R-$3) + (G-$4)*(G-$4) + (B-$5)*(B-$5) ))
    [ "$d" -le $((tol*tol*3)) ] || { echo "pixel $1,$2 is $got, expected near $3 $4 $5" >&2; return 1; }
}

wait_until() { # seconds command... ; polls the command until it succeeds
    local end=$((SECONDS + $1)); shift
    until "$@" 2>/dev/null; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.2
    done
}

#!/usr/bin/env bash
# The title strip in a real X session under a window manager: for each pair of overlapping
# buttons (СОДЕРЖАНИЕ/ПОИСК, ПОИСК/ПЕЧАТЬ, ПЕЧАТЬ/АНОНС), hovered one after the other both ways
# round, the second lit button looks as it does when hovered alone, and once the pointer has
# left and every fade has ended, the strip equals its picture before the first hover, pixel for
# pixel: no stale highlight stays where the buttons overlap.
#
#   bash scripts/strip_window_test.sh BIN_DIR [SCREENSHOT.png]
set -euo pipefail
bin=$(cd "$1" && pwd)
shot=${2:-$bin/../strip-test.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=xcb

timeout 150 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    bin=$1 work=$2
    source "$3"
    openbox > "$work/wm.log" 2>&1 & wm=$!
    sleep 1  # the window manager takes over the screen
    "$bin/kvarnelya" > "$work/reader.log" 2>&1 & pid=$!
    trap "kill $pid $wm 2>/dev/null || true" EXIT
    win=$(wait_window "^Кварнеля$")
    sleep 1.5
    eval "$(xdotool getwindowgeometry --shell "$win")"
    strip="800x32+$X+$Y"

    # A point on each button where its mask is bright and no button above covers it.
    declare -A at=([СОДЕРЖАНИЕ]=235 [ПОИСК]=337 [ПЕЧАТЬ]=420 [АНОНС]=528)
    away() { xdotool mousemove $((X + 600)) $((Y + 300)); }
    # Moves the pointer along the strip in small steps, as a hand does.
    glide() {
        local from=$1 to=$2 step=8 x
        [ "$to" -lt "$from" ] && step=-8
        for ((x = from; (step > 0 ? x < to : x > to); x += step)); do
            xdotool mousemove $((X + x)) $((Y + 16))
        done
        xdotool mousemove $((X + to)) $((Y + 16))
    }
    snap() { import -window root "$work/$1.png"; }
    # same_strip A B: the strip of screenshot A equals that of screenshot B pixel for pixel.
    same_strip() {
        diff=$(compare -metric AE "$work/$1.png[$strip]" "$work/$2.png[$strip]" null: 2>&1 || true)
        [ "${diff%% *}" = 0 ]
    }
    settles_as() { snap now; same_strip now "$1"; }
    # settle REFERENCE MESSAGE: waits until the strip equals the reference, or fails.
    settle() {
        wait_until 5 "$2" settles_as "$1" || {
            cp "$work/now.png" "$work/shot.png"
            echo "window test: $diff pixels of the strip differ from the $1 picture" >&2
            exit 1
        }
    }

    away
    sleep 0.5
    snap before
    for pair in СОДЕРЖАНИЕ:ПОИСК ПОИСК:СОДЕРЖАНИЕ ПОИСК:ПЕЧАТЬ ПЕЧАТЬ:ПОИСК ПЕЧАТЬ:АНОНС АНОНС:ПЕЧАТЬ; do
        first=${pair%%:*} second=${pair##*:}
        # The second button lit alone, as the reference for it lit after the first.
        xdotool mousemove $((X + ${at[$second]})) $((Y + 16))
        sleep 1
        snap alone
        away
        settle before "$second alone: the strip did not come back to its first picture"
        glide 120 "${at[$first]}"
        sleep 0.4
        glide "${at[$first]}" "${at[$second]}"
        settle alone "$second after $first: not lit as when hovered alone"
        away
        settle before "$first then $second, left: stale pixels stay on the strip"
        echo "window test: $first then $second, left: the strip is as before"
    done
    cp "$work/now.png" "$work/shot.png"
    kill -0 "$pid" || { echo "window test: the reader ended" >&2; exit 1; }
' strip-test "$bin" "$work" "$(dirname "$0")/wait_window.sh" || status=$?
# The last screenshot, also when the test failed, shows what stayed on the strip.
[ -f "$work/shot.png" ] && cp "$work/shot.png" "$shot"
exit "${status:-0}"

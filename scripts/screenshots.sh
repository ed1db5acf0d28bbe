#!/usr/bin/env bash
# Draws the README's screenshots under a virtual X screen: the main window with a title-strip
# button lit, the contents window beside an article, and the search window.
#
#   bash scripts/screenshots.sh [BIN_DIR] [OUT_DIR]     (defaults: build/bin, docs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build/bin}" && pwd)
out=$(mkdir -p "${2:-$root/docs}" && cd "${2:-$root/docs}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=xcb

timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    bin=$1 out=$2
    source "$3"
    "$bin/kvarnelya" > /dev/null 2>&1 & pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    win=$(wait_window "^Кварнеля$")
    sleep 2  # the tree is sorted one second after start
    eval "$(xdotool getwindowgeometry --shell "$win")"
    main="800x600+$X+$Y"

    # The main window, СОДЕРЖАНИЕ lit under the pointer.
    xdotool mousemove $((X + 600)) $((Y + 300)); sleep 0.3
    xdotool mousemove $((X + 235)) $((Y + 16)); sleep 0.8
    import -window root -crop "$main" +repage "$out/screenshot-main.png"

    # An article, and the contents window over it (its box on the article page).
    xdotool mousemove $((X + 200)) $((Y + 32 + 72 + 8 + 18 * 2)) click 1; sleep 1.5
    xdotool mousemove $((X + 55)) $((Y + 32 + 535)) click 1; sleep 1
    import -window root -crop "$((800 + 60))x$((600 + 30))+$X+$Y" +repage "$out/screenshot-contents.png"

    # The search window, with a phrase typed and looked for.
    xdotool mousemove $((X + 55)) $((Y + 32 + 535)) click 1; sleep 0.5   # the contents window goes
    xdotool mousemove $((X + 337)) $((Y + 16)) click 1; sleep 1
    s=$(wait_window "." 1 >/dev/null; xdotool search --onlyvisible --pid "$pid" | grep -v "^$win$" | head -n 1)
    eval "$(xdotool getwindowgeometry --shell "$s" | sed s/^/S/)"
    xdotool mousemove $((SX + 100)) $((SY + 25)) click 1 click 1; sleep 0.3
    xdotool key ctrl+a; xdotool type --delay 30 "вода"; xdotool key Return; sleep 2
    import -window root -crop "$((SX + SWIDTH - X + 20))x$((SY + SHEIGHT - Y + 20))+$X+$Y" +repage \
        "$out/screenshot-search.png"
' shots "$bin" "$out" "$root/scripts/wait_window.sh"
echo "screenshots: $out/screenshot-main.png, screenshot-contents.png, screenshot-search.png"

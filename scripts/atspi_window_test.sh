#!/usr/bin/env bash
# The reader as a screen reader sees it: on a virtual X screen with a D-Bus session and the
# AT-SPI bus, the reader starts with accessibility on, a topic is picked in the tree with the
# mouse, and scripts/atspi_reader.py reads the windows through AT-SPI.
#
#   bash scripts/atspi_window_test.sh BIN_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=xcb
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
# The session D-Bus and the AT-SPI bus are this test's own, not the caller's.
unset AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS

timeout 150 xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- bash -c '
    set -euo pipefail
    bin=$1 work=$2 here=$3
    source "$here/wait_window.sh"
    openbox > "$work/wm.log" 2>&1 & wm=$!
    sleep 1
    "$bin/kvarnelya" > "$work/reader.log" 2>&1 & pid=$!
    trap "kill $pid $wm 2>/dev/null || true" EXIT
    win=$(wait_window "^Кварнеля$")
    sleep 2  # the tree is re-sorted one second after start
    eval "$(xdotool getwindowgeometry --shell "$win")"
    xdotool mousemove $((X + 200)) $((Y + 32 + 72 + 8)) click 1   # the first folder
    sleep 1
    xdotool mousemove $((X + 230)) $((Y + 16)) click 1             # back to the tree
    sleep 0.5
    xdotool mousemove $((X + 200)) $((Y + 32 + 72 + 8)) click 1
    sleep 0.5
    xdotool key Down                                               # its first topic
    sleep 1
    /usr/bin/python3 "$here/atspi_reader.py" "$bin"
' atspi-test "$bin" "$work" "$here" 2> >(grep -v -e "fd limit" -e "Activating service" -e "Successfully activated" -e "SpiRegistry daemon" >&2)

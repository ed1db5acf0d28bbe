#!/usr/bin/env bash
# The main window in a real X session (a window manager, and with `tray` a notification area):
# a title-strip button lights under the pointer; the minimise mark hides the program into the
# tray icon, and a click on the icon brings the window back. With `no-tray` the desktop has no
# notification area: the mark minimises the window to the task bar (it stays iconic, never
# withdrawn), and restoring it from there brings it back. With `late-tray` the notification area
# starts only after the reader's window is up: the mark must still hide into an icon there.
#
#   bash scripts/tray_window_test.sh BIN_DIR tray|no-tray|late-tray [SCREENSHOT.png]
set -euo pipefail
bin=$(cd "$1" && pwd)
mode=$2
shot=${3:-$bin/../tray-test-$mode.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=xcb

timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    bin=$1 mode=$2 work=$3
    source "$4"
    openbox > "$work/wm.log" 2>&1 & wm=$!
    helpers=$wm
    sleep 1  # the window manager takes over the screen
    start_tray() {
        trayer --edge top --align right --widthtype request --height 24 > "$work/trayer.log" 2>&1 &
        helpers="$helpers $!"
        panel=$(wait_window "^panel$") ||
            { echo "window test: the notification area did not start: $(cat "$work/trayer.log")" >&2; exit 1; }
    }
    if [ "$mode" = tray ]; then start_tray; fi
    "$bin/kvarnelya" > "$work/reader.log" 2>&1 & pid=$!
    trap "kill $pid \$helpers 2>/dev/null || true" EXIT
    win=$(wait_window "^Кварнеля$")
    if [ "$mode" = late-tray ]; then start_tray; fi
    sleep 1.5
    eval "$(xdotool getwindowgeometry --shell "$win")"

    # ПОИСК lights under the pointer.
    xdotool mousemove $((X + 600)) $((Y + 300))
    sleep 0.5
    import -window root "$work/before.png"
    xdotool mousemove $((X + 337)) $((Y + 16))
    crop="93x32+$((X + 291))+$Y"
    is_lit() {
        import -window root "$work/lit.png"
        lit=$(compare -metric AE "$work/before.png[$crop]" "$work/lit.png[$crop]" null: 2>&1 || true)
        [ "${lit%% *}" -ge 300 ] 2>/dev/null
    }
    wait_until 10 "the button did not light under the pointer" is_lit
    cp "$work/lit.png" "$work/shot.png"
    echo "window test: ПОИСК lit under the pointer ($lit pixels changed)"

    shown() { xdotool search --onlyvisible --name "^Кварнеля$" > /dev/null 2>&1; }
    hidden() { ! shown; }
    # The minimise mark.
    xdotool mousemove $((X + 764)) $((Y + 12)) click 1
    wait_until 20 "the main window is still shown after the minimise mark" hidden
    if [ "$mode" != no-tray ]; then
        # Only the tray icon remains: the one window of the reader that is still mapped.
        only_icon() { [ "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)" -eq 1 ]; }
        wait_until 10 "more or fewer windows of the reader are mapped than the tray icon" only_icon
        eval "$(xdotool getwindowgeometry --shell "$panel" | sed s/^/P/)"
        xdotool mousemove $((PX + PWIDTH / 2)) $((PY + PHEIGHT / 2)) click 1
    else
        # Still in the task bar: iconic, not withdrawn.
        xprop -id "$win" WM_STATE | grep -q Iconic ||
            { echo "window test: the window left the task bar: $(xprop -id "$win" WM_STATE)" >&2; exit 1; }
        xdotool windowactivate "$win"  # what a click on its task-bar entry asks for
    fi
    wait_until 20 "the main window did not come back" shown
    sleep 0.5
    kill -0 "$pid" || { echo "window test: the reader ended" >&2; exit 1; }
    echo "window test ($mode): hidden by the minimise mark and back again"
' tray-test "$bin" "$mode" "$work" "$(dirname "$0")/wait_window.sh"
cp "$work/shot.png" "$shot"

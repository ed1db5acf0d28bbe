#!/usr/bin/env bash
# The keyboard in a real X session under a window manager: from the focus the main window takes
# when it opens, Tab twice reaches ПОИСК in the title strip, which shows lit as under the
# pointer; Enter opens the search window and Escape closes it again; opened once more, Tab
# reaches its close button, and Enter closes it. Then the rest of the Tab
# order, each stop showing its focus: ПЕЧАТЬ, АНОНС, the minimise and close marks, the tree, its
# check box; and on the article page (Down in the tree opens one) the check box and, back with
# Shift+Tab, the article.
#
#   bash scripts/keyboard_window_test.sh BIN_DIR [SCREENSHOT.png]
set -euo pipefail
bin=$(cd "$1" && pwd)
shot=${2:-$bin/../keyboard-test.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state QT_QPA_PLATFORM=xcb

timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
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
    xdotool mousemove $((X + 600)) $((Y + 300))  # over the tree, away from the strip
    sleep 0.5
    windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
    before=$(windows)
    search="60x16+$((X + 310))+$((Y + 8))"  # the middle of ПОИСК
    import -window root "$work/before.png"
    xdotool key Tab
    sleep 0.3
    xdotool key Tab
    sleep 1  # the glyph fades in
    import -window root "$work/shot.png"
    diff=$(compare -metric AE "$work/before.png[$search]" "$work/shot.png[$search]" null: 2>&1 || true)
    if [ "${diff%% *}" = 0 ]; then
        echo "keyboard test: ПОИСК does not show the focus after two Tabs" >&2
        exit 1
    fi
    echo "keyboard test: two Tabs light ПОИСК (${diff%% *} pixels changed)"
    xdotool key Return
    more() { [ "$(windows)" -gt "$before" ]; }
    wait_until 10 "Enter on the focused ПОИСК opened no window" more
    echo "keyboard test: Enter opened the search window"
    sleep 0.5
    xdotool key Escape
    back() { [ "$(windows)" -eq "$before" ]; }
    wait_until 10 "Escape left the search window open" back
    echo "keyboard test: Escape closed it"
    # shows_focus NAME REGION KEY: after KEY the region (window coordinates) shows a change.
    shows_focus() {
        local region=$2x$3+$((X + $4))+$((Y + $5))
        import -window root "$work/from.png"
        xdotool key "$6"
        sleep 0.8
        import -window root "$work/to.png"
        diff=$(compare -metric AE "$work/from.png[$region]" "$work/to.png[$region]" null: 2>&1 || true)
        if [ "${diff%% *}" = 0 ]; then
            echo "keyboard test: $1 shows no focus after $6" >&2
            exit 1
        fi
    }
    # The search window again: Tab from its phrase box through the list and «искать далее» to
    # «закрыть», which shows its frame; Enter on it closes the window.
    xdotool key Return
    wait_until 10 "Enter on ПОИСК did not open the search window again" more
    sleep 0.5
    main_x=$X main_y=$Y
    eval "$(xdotool getwindowgeometry --shell "$(xdotool getactivewindow)")"
    xdotool key Tab Tab
    shows_focus "the search window close button" 67 19 303 199 Tab
    xdotool key Return
    wait_until 10 "Enter on «закрыть» left the search window open" back
    X=$main_x Y=$main_y
    sleep 0.5
    echo "keyboard test: Tab reaches «закрыть» in the search window, and Enter on it closes it"
    shows_focus ПЕЧАТЬ 50 16 395 8 Tab
    shows_focus АНОНС 45 16 500 8 Tab
    shows_focus "the minimise mark" 25 25 752 0 Tab
    shows_focus "the close mark" 25 25 776 0 Tab
    shows_focus "the tree" 300 20 120 104 Tab
    shows_focus "the tree check box" 18 18 46 556 Tab
    xdotool key shift+Tab Down  # back to the tree; its first topic opens an article
    sleep 1.5
    shows_focus "the article check box" 18 18 46 558 Tab
    shows_focus "the article" 2 457 118 88 shift+Tab
    echo "keyboard test: Tab stops at every control of both pages, each showing its focus"
    kill -0 "$pid" || { echo "keyboard test: the reader ended" >&2; exit 1; }
' keyboard-test "$bin" "$work" "$(dirname "$0")/wait_window.sh" || status=$?
# The screenshot after the two Tabs, also when the test failed.
[ -f "$work/shot.png" ] && cp "$work/shot.png" "$shot"
exit "${status:-0}"

#!/usr/bin/env bash
# Starts the reader on a virtual X screen and uses the search window as a user does: ПОИСК in
# the title strip, a phrase typed into the phrase box, Enter, a click on the first hit, then the
# close area. Takes two screenshots (the search window with its hits, the opened article) and
# checks that the viewer shows the hit's article; once the viewer can find a phrase, also that
# the phrase is selected there (the view then differs from the plain article in a small area).
#
#   bash scripts/search_window_test.sh BIN_DIR [SHOT_PREFIX]
# writes SHOT_PREFIX-hits.png and SHOT_PREFIX-article.png (default BIN_DIR/../search-test).
set -euo pipefail
bin=$(cd "$1" && pwd)
prefix=${2:-$bin/../search-test}
phrase=${PHRASE:-двуглавая гора}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state

# The article that holds the phrase: the test needs exactly one, to know what must be shown.
mapfile -t hits < <(QT_QPA_PLATFORM=offscreen "$bin/kvtool" search "$bin/inside" "$phrase" 2>/dev/null)
if [ "${#hits[@]}" -ne 1 ]; then
    echo "search window test: \"$phrase\" must be in exactly one article, is in ${#hits[@]}" >&2
    exit 1
fi

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    "$0/kvarnelya" & pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    win=$(xdotool search --sync --onlyvisible --name "Кварнеля" | head -n 1)
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$win")"
    echo "$X $Y" > "$1/origin"
    xdotool mousemove $((X + 337)) $((Y + 16)) click 1                # ПОИСК
    sleep 1
    sx=$((X + 400)); sy=$((Y + 80))                                   # where ПОИСК places it
    xdotool mousemove $((sx + 120)) $((sy + 25)) click 1              # the phrase box
    xdotool key ctrl+a
    xdotool type --delay 30 "$2"
    xdotool key Return
    sleep 1.5
    import -window root "$1/hits.png"
    xdotool mousemove $((sx + 120)) $((sy + 78)) click 1              # the first hit
    sleep 1
    xdotool mousemove $((sx + 336)) $((sy + 208)) click 1             # закрыть
    sleep 1
    import -window root "$1/article.png"
' "$bin" "$work" "$phrase"

read -r x y < "$work/origin"
cp "$work/hits.png" "$prefix-hits.png"
cp "$work/article.png" "$prefix-article.png"
convert "$work/article.png" -crop "665x457+$((x + 120))+$((y + 32 + 56))" +repage "$work/view.png"
QT_QPA_PLATFORM=offscreen "$bin/kvtool" render "${hits[0]}" --width 665 --height 457 \
    -o "$work/expected.png" > /dev/null 2>&1
differ=$(compare -metric AE -fuzz 10% "$work/view.png" "$work/expected.png" null: 2>&1 || true)
differ=${differ%% *}
if ! [ "$differ" -lt 8000 ] 2>/dev/null; then
    echo "search window test: the viewer does not show ${hits[0]} ($differ pixels differ); see $prefix-article.png" >&2
    exit 1
fi
if ! "$bin/kvtool" help 2>/dev/null | grep -qE '^ *find '; then
    echo "search window test: the viewer shows ${hits[0]}; phrase selection not checked (the viewer finds nothing yet)"
    exit 0
fi
if [ "$differ" -lt 40 ]; then
    echo "search window test: ${hits[0]} is shown but \"$phrase\" is not selected; see $prefix-article.png" >&2
    exit 1
fi
echo "search window test: ${hits[0]} is shown with \"$phrase\" selected ($differ pixels differ from the plain article)"

#!/usr/bin/env bash
# Prints from the reader's real window on a virtual X screen: opens the first article from the
# contents tree, clicks ПЕЧАТЬ and answers No (nothing may be printed), clicks again and answers
# Yes, and checks that the article's pages came out in the PDF file that stands in for the
# default printer. Screenshots of the question and of the window afterwards are kept.
#
#   bash scripts/print_window_test.sh BIN_DIR [OUT_DIR]
set -euo pipefail
bin=$(cd "$1" && pwd)
out=${2:-$bin/..}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache
pdf=$work/printed.pdf

# The X part runs on the X platform whatever the caller names, and every wait is bounded.
QT_QPA_PLATFORM=xcb timeout 150 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    bin=$0 work=$1 pdf=$2
    source "$3"
    "$bin/kv_print_window" "$pdf" & pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    win=$(wait_window "Кварнеля")
    sleep 2  # the tree is re-sorted one second after start
    eval "$(xdotool getwindowgeometry --shell "$win")"
    xdotool mousemove $((X + 200)) $((Y + 32 + 72 + 8)) click 1   # the first folder: its article
    sleep 1
    xdotool mousemove $((X + 420)) $((Y + 16)) click 1             # ПЕЧАТЬ
    sleep 1
    import -window root "$work/question.png"
    xdotool key Escape                                             # No
    sleep 1
    [ ! -e "$pdf" ] || { echo "print window test: No printed something" >&2; exit 1; }
    xdotool mousemove $((X + 420)) $((Y + 16)) click 1             # ПЕЧАТЬ again
    sleep 1
    xdotool key Return                                             # Yes (the default button)
    for _ in $(seq 1 40); do [ -s "$pdf" ] && break; sleep 0.5; done
    sleep 1
    import -window root "$work/after.png"
' "$bin" "$work" "$pdf" "$(dirname "$0")/wait_window.sh"

cp "$work/question.png" "$out/print-question.png"
cp "$work/after.png" "$out/print-after.png"
[ -s "$pdf" ] || { echo "print window test: Yes printed nothing" >&2; exit 1; }
pages=$(pdfinfo "$pdf" | sed -n 's/^Pages: *//p')
[ "${pages:-0}" -ge 1 ] || { echo "print window test: the PDF has no page" >&2; exit 1; }
pdftoppm -r 50 -png -f 1 -l 1 "$pdf" "$out/print-page"
echo "print window test: $pages page(s) printed; the first is in $out/print-page-1.png"

#!/usr/bin/env bash
# Starts the reader on a virtual X screen, picks a topic in the contents tree the way a user does
# (a click on the first folder, back to the tree, the Down key to its first topic), takes a
# screenshot, and checks that the viewer shows an article scrolled to one of its anchors: the
# viewer's area must match `kvtool render` of that article at that anchor.
#
#   bash scripts/window_test.sh BIN_DIR [SCREENSHOT.png]
set -euo pipefail
bin=$(cd "$1" && pwd)
shot=${2:-$bin/../window-test.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache

# The reader must open a real X window whatever platform the caller's environment names.
export QT_QPA_PLATFORM=xcb
timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    source "$2"
    "$0/kvarnelya" & pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    win=$(wait_window "Кварнеля")
    sleep 2  # the tree is re-sorted one second after start
    eval "$(xdotool getwindowgeometry --shell "$win")"
    echo "$X $Y" > "$1/origin"
    xdotool mousemove $((X + 200)) $((Y + 32 + 72 + 8)) click 1   # the first folder
    sleep 1
    xdotool mousemove $((X + 230)) $((Y + 16)) click 1             # back to the tree
    sleep 0.5
    xdotool mousemove $((X + 200)) $((Y + 32 + 72 + 8)) click 1   # focus; already selected
    sleep 0.5
    xdotool key Down                                               # its first topic
    sleep 1.5
    import -window root "$1/screen.png"
' "$bin" "$work" "$(dirname "$0")/wait_window.sh"

read -r x y < "$work/origin"
cp "$work/screen.png" "$shot"
convert "$work/screen.png" -crop "665x457+$((x + 120))+$((y + 32 + 56))" +repage "$work/view.png"

# The candidates: every anchor of every article, as the contents file lists them, sorted the
# way the tree most likely is, so that the expected one comes first.
python3 - "$work/state/kvarnelya/treeenc.txt" > "$work/candidates" <<'PY'
import sys
folder, pairs = None, []
for raw in open(sys.argv[1], encoding="cp1251"):
    line = raw.rstrip("\r\n")
    if not line.startswith(" "):
        folder = line
    elif folder is not None:
        pairs.append((folder, line.strip()))
for folder, topic in sorted(pairs):
    print(folder + "\t" + topic)
PY

export QT_QPA_PLATFORM=offscreen
while IFS=$'\t' read -r folder topic; do
    article="$bin/inside/$folder/index.htm#$topic"
    "$bin/kvtool" render "$article" --width 665 --height 457 -o "$work/expected.png" > "$work/render.out" 2>&1 || continue
    differ=$(compare -metric AE -fuzz 10% "$work/view.png" "$work/expected.png" null: 2>&1 || true)
    if [ "${differ%% *}" -lt 300 ] 2>/dev/null; then
        top=$(sed -n 's/.* top \([0-9]*\).*/\1/p' "$work/render.out")
        echo "window test: the viewer shows $folder at $topic (scrolled to $top; $differ pixels differ)"
        exit 0
    fi
done < "$work/candidates"
echo "window test: the viewer's area matches no article at any anchor; screenshot in $shot" >&2
exit 1

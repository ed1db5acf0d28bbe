#!/usr/bin/env bash
# The viewer in a real window on a virtual X screen: drags across a paragraph with the mouse,
# copies it with Ctrl+C and reads the X clipboard, which must hold the paragraph's text; then
# clicks a link to another article, which must be shown scrolled to the link's anchor.
# With `zoom`: the other article shown at its anchor, Ctrl+plus enlarges the text and keeps the
# anchored line at the top.
#
#   bash scripts/viewer_window_test.sh BIN_DIR [SCREENSHOT.png | zoom]
set -euo pipefail
bin=$(cd "$1" && pwd)
shot=${2:-} mode=
[ "$shot" = zoom ] && shot= mode=zoom
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache
{
    printf '<html><body><p>Drag across this first paragraph.</p><p>Then <a href="other.htm#Far">other</a> article.</p>'
    printf '<p>Третий абзац по-русски.</p></body></html>'
} | iconv -f UTF-8 -t CP1251 > "$work/first.htm"
{
    printf '<html><body>'
    for i in $(seq 1 80); do printf '<p>Filler line %s of the other article.</p>' "$i"; done
    printf '<p><a name="far">Far</a> anchor.</p>'
    for i in $(seq 1 40); do printf '<p>More %s.</p>' "$i"; done
    printf '</body></html>'
} > "$work/other.htm"

if [ "$mode" = zoom ]; then
    # Ctrl+plus five times: the line at the top (the anchored one) stays at the top, its text
    # about half as high and wide again.
    QT_QPA_PLATFORM=xcb timeout 100 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        set -euo pipefail
        bin=$0 work=$1
        source "$2"
        "$bin/viewer_window" "$work/other.htm#far" > "$work/out" 2> "$work/err" & pid=$!
        trap "kill $pid 2>/dev/null || true" EXIT
        win=$(wait_window "viewer window test")
        for i in $(seq 1 50); do grep -q "^shown" "$work/out" && break; sleep 0.1; done
        sleep 0.5
        eval "$(xdotool getwindowgeometry --shell "$win")"
        xdotool mousemove $((X + 300)) $((Y + 390))
        view="560x380+$X+$Y"
        import -window root -crop "$view" +repage "$work/before.pgm"
        for i in 1 2 3 4 5; do xdotool key ctrl+plus; sleep 0.3; done
        sleep 0.5
        import -window root -crop "$view" +repage "$work/after.pgm"
    ' "$bin" "$work" "$(dirname "$0")/wait_window.sh"
    python3 - "$work/before.pgm" "$work/after.pgm" <<'PY'
import sys
def first_line(path):
    # The first rows with ink up to two blank rows: its height and the width its ink spans.
    data = open(path, "rb").read()
    fields = data.split(maxsplit=4)
    width, height = int(fields[1]), int(fields[2])
    pixels = fields[4][-width * height:]
    rows = [pixels[y * width:(y + 1) * width] for y in range(height)]
    inked = [min(row) < 160 for row in rows]
    top = inked.index(True)
    bottom = top
    while bottom + 2 < height and (inked[bottom + 1] or inked[bottom + 2]):
        bottom += 1
    xs = [x for y in range(top, bottom + 1) for x in range(width) if rows[y][x] < 160]
    return bottom - top + 1, max(xs) - min(xs) + 1
(h1, w1), (h2, w2) = first_line(sys.argv[1]), first_line(sys.argv[2])
print("viewer zoom test: the top line %dx%d px before, %dx%d px after five Ctrl+plus" % (w1, h1, w2, h2))
if not (1.3 <= h2 / h1 <= 1.8 and 1.35 <= w2 / w1 <= 1.65):
    sys.exit("viewer zoom test: the top line did not grow to about 150 %")
PY
    exit
fi

# The X part runs on the X platform whatever the caller names, and every wait is bounded.
QT_QPA_PLATFORM=xcb timeout 150 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    bin=$0 work=$1 shot=$2
    source "$3"
    "$bin/viewer_window" "$work/first.htm" > "$work/out" 2> "$work/err" & pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    wait_window "viewer window test" > /dev/null
    for i in $(seq 1 50); do grep -q "^link" "$work/out" && break; sleep 0.1; done
    read -r _ x1 y1 x2 y2 < <(grep "^drag" "$work/out")
    read -r _ lx ly < <(grep "^link" "$work/out")
    xdotool mousemove "$x1" "$y1" mousedown 1
    sleep 0.2
    xdotool mousemove $(( (x1 + x2) / 2 )) "$y2"
    sleep 0.2
    xdotool mousemove "$x2" "$y2"
    sleep 0.2
    xdotool mouseup 1
    sleep 0.3
    [ -n "$shot" ] && import -window root "$shot"
    xdotool key ctrl+c
    sleep 0.5
    xclip -selection clipboard -o > "$work/clip" || true
    xdotool mousemove "$lx" "$ly" click 1
    for i in $(seq 1 50); do grep -q "^shown.*other.htm" "$work/out" && break; sleep 0.1; done
' "$bin" "$work" "$shot" "$(dirname "$0")/wait_window.sh"

clip=$(cat "$work/clip")
if [ "$clip" != "Drag across this first paragraph." ]; then
    echo "viewer window test: the clipboard holds \"$clip\", not the dragged paragraph" >&2
    exit 1
fi
shown=$(grep "^shown.*other.htm" "$work/out" | tail -n 1 || true)
if [ -z "$shown" ]; then
    echo "viewer window test: the link click did not show other.htm" >&2
    cat "$work/out" >&2
    exit 1
fi
top=${shown##* }
export QT_QPA_PLATFORM=offscreen
expected=$("$bin/kvtool" render "$work/other.htm#far" --width 600 --height 400 -o "$work/x.png" 2>/dev/null | sed -n 's/.* top \([0-9]*\).*/\1/p')
if [ "$top" -le 0 ] || [ "$top" != "$expected" ]; then
    echo "viewer window test: other.htm shown at $top, its anchor is at $expected" >&2
    exit 1
fi
echo "viewer window test: copied \"$clip\"; the link showed other.htm at its anchor (top $top)"

#!/usr/bin/env bash
# Renders a page with our engine (kvtool render) and with headless Chromium at the same width
# and puts the two side by side in one PNG, ours on the left, for looking.
#
#   scripts/compare_browser.sh PAGE.htm OUT.png [--width 665] [--height 800]
#
# Chromium (Debian's "chromium") is installed on demand; it is no test dependency. Chromium reads
# the page in the encoding our tokenizer finds for it (told through a copy with a charset line).
set -euo pipefail

usage() {
    echo "usage: scripts/compare_browser.sh PAGE.htm OUT.png [--width 665] [--height 800]" >&2
    exit 2
}

[[ $# -ge 2 ]] || usage
page=$1 out=$2
shift 2
width=665 height=800
while [[ $# -gt 0 ]]; do
    case $1 in
        --width) width=${2:?}; shift 2 ;;
        --height) height=${2:?}; shift 2 ;;
        *) usage ;;
    esac
done
[[ -f $page ]] || { echo "compare_browser: no such page: $page" >&2; exit 1; }

root=$(cd "$(dirname "$0")/.." && pwd)
kvtool=${KVTOOL:-$root/build/bin/kvtool}
[[ -x $kvtool ]] || { echo "compare_browser: build kvtool first ($kvtool)" >&2; exit 1; }

need() {  # command package
    command -v "$1" >/dev/null 2>&1 && return
    echo "compare_browser: installing $2" >&2
    # Without recommends: Chromium's recommend fonts-liberation (v1) would change the faces our
    # "Times New Roman" and "Arial" draw with, and so every pixel_check baseline.
    apt-get install -y --no-install-recommends "$2" >/dev/null
}
need chromium chromium
need /usr/bin/convert imagemagick

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
page_dir=$(cd "$(dirname "$page")" && pwd)
page_abs=$page_dir/$(basename "$page")

# Ours.
QT_QPA_PLATFORM=offscreen "$kvtool" render "$page_abs" --width "$width" --height "$height" \
    -o "$work/ours.png" >/dev/null

# Chromium's: a copy beside the page (so relative images resolve) that names the charset.
copy=$page_dir/.compare_browser_$$.htm
trap 'rm -rf "$work" "$copy"' EXIT
encoding=$(QT_QPA_PLATFORM=offscreen "$kvtool" tokens "$page_abs" | head -1) || true  # head closes the pipe early
encoding=${encoding#encoding }
{ printf '<meta charset="%s">' "${encoding:-windows-1251}"; cat "$page_abs"; } >"$copy"
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --hide-scrollbars \
    --window-size="$width,$height" --screenshot="$work/chromium.png" "file://$copy" \
    >/dev/null 2>&1

# Side by side with a caption above each half.
/usr/bin/convert \
    \( "$work/ours.png" -background white -gravity north -splice 0x20 \
       -pointsize 14 -annotate +0+2 "kvtool render" \) \
    \( "$work/chromium.png" -background white -gravity north -splice 0x20 \
       -pointsize 14 -annotate +0+2 "Chromium" \) \
    -gravity west -background '#808080' -splice 4x0 +append -chop 4x0 "$out"
echo "compare_browser: wrote $out"

#!/usr/bin/env bash
# kvtool print on a sample article: the PDF has the pages it reports, its text is text, a page
# range keeps only those pages, a range without a page leaves no file, bad options are refused.
#
#   bash scripts/kvtool_print_test.sh BIN_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
fail() { echo "kvtool print test: $*" >&2; exit 1; }
article=$(find "$bin/inside" -name index.htm | sort | head -n 1)

out=$("$bin/kvtool" print "$article" -o "$work/all.pdf" --dpi 300)
[[ $out =~ ^pages\ ([0-9]+)\ of\ ([0-9]+)$ ]] || fail "unexpected output: $out"
pages=${BASH_REMATCH[1]}
[ "$pages" -ge 1 ] && [ "$pages" = "${BASH_REMATCH[2]}" ] || fail "$out"
[ "$(pdfinfo "$work/all.pdf" | sed -n 's/^Pages: *//p')" = "$pages" ] || fail "page count differs"
[ -n "$(pdftotext "$work/all.pdf" - | tr -d '[:space:]')" ] || fail "no text in the PDF"

"$bin/kvtool" print "$article" -o "$work/one.pdf" --from 1 --to 1 > /dev/null
[ "$(pdfinfo "$work/one.pdf" | sed -n 's/^Pages: *//p')" = 1 ] || fail "--to 1 printed more"

# Ranges without a page: nothing is printed, no file is left.
for range in "500 600" "3 2" "0 0" "$((pages + 1)) $((pages + 1))"; do
    read -r from to <<< "$range"
    set +e
    message=$("$bin/kvtool" print "$article" -o "$work/none.pdf" --from "$from" --to "$to" 2>&1)
    status=$?
    set -e
    [ "$status" = 1 ] || fail "--from $from --to $to exited $status"
    [ "$message" = "kvtool: no page to print" ] || fail "--from $from --to $to said: $message"
    [ ! -e "$work/none.pdf" ] || fail "--from $from --to $to left a file"
done
set +e
"$bin/kvtool" print "$article" -o "$work/x.pdf" --dpi 5 2> /dev/null; [ $? = 2 ] || fail "--dpi 5 accepted"
"$bin/kvtool" print "$work/missing.htm" -o "$work/x.pdf" 2> /dev/null; [ $? = 1 ] || fail "missing file"
set -e
echo "kvtool print test: $pages page(s)"

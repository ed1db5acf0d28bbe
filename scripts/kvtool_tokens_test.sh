#!/usr/bin/env bash
# kvtool tokens names the encoding it read the file in on its first line; a UTF-8 article reads
# as its Windows-1251 twin, with the source indexes of the UTF-8 bytes.
#
#   bash scripts/kvtool_tokens_test.sh KVTOOL
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "kvtool tokens test: $*" >&2; exit 1; }
printf '<b>\xC1\xE0\xE9\xEA\xE0\xEB</b>' >"$work/cp1251.htm"
printf '\xEF\xBB\xBF<b>\xD0\x91\xD0\xB0\xD0\xB9\xD0\xBA\xD0\xB0\xD0\xBB</b>' >"$work/utf8.htm"
old=$("$1" tokens "$work/cp1251.htm")
new=$("$1" tokens "$work/utf8.htm")
[ "$(head -n 1 <<<"$old")" = "encoding windows-1251" ] || fail "first line: $(head -n 1 <<<"$old")"
[ "$(head -n 1 <<<"$new")" = "encoding utf-8" ] || fail "first line: $(head -n 1 <<<"$new")"
grep -qx 'text 3 "Байкал"' <<<"$old" || fail "Windows-1251 text: $old"
grep -qx 'text 6 "Байкал"' <<<"$new" || fail "UTF-8 text: $new"
echo "kvtool tokens test: the encoding first, the same text from both encodings"

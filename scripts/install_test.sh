#!/usr/bin/env bash
# Installs the reader into a temporary prefix and checks what `cmake --install` promises: the
# program's own folder with inside/ and res/, a link in bin/, the desktop entry and its icons;
# then starts the reader through the link and checks that it walked the installed inside/.
#
#   bash scripts/install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > "$work/install.log"

fail() { echo "install test: $*" >&2; exit 1; }
for f in lib/kvarnelya/kvarnelya lib/kvarnelya/inside lib/kvarnelya/res/anons.htm \
         share/applications/kvarnelya.desktop share/icons/hicolor/48x48/apps/kvarnelya.png \
         share/icons/hicolor/scalable/apps/kvarnelya.svg; do
    [ -e "$prefix/$f" ] || fail "missing $f"
done
[ -L "$prefix/bin/kvarnelya" ] || fail "bin/kvarnelya is no link"
[ "$(readlink -f "$prefix/bin/kvarnelya")" = "$(readlink -f "$prefix/lib/kvarnelya/kvarnelya")" ] ||
    fail "bin/kvarnelya does not lead to the program"
grep -q '^Categories=Education;' "$prefix/share/applications/kvarnelya.desktop" || fail "no category"
grep -q '^Name\[ru\]=Кварнеля' "$prefix/share/applications/kvarnelya.desktop" || fail "no Russian name"

# Another encyclopedia in place of the sample one: the reader started through the link walks it.
rm -rf "$prefix/lib/kvarnelya/inside"
mkdir -p "$prefix/lib/kvarnelya/inside/Проверка"
printf '<a name="Установлено">\n' | iconv -f utf-8 -t cp1251 > "$prefix/lib/kvarnelya/inside/Проверка/index.htm"
export XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=offscreen
(cd "$work" && timeout 5 "$prefix/bin/kvarnelya" > "$work/run.log" 2>&1) || true
contents=$work/state/kvarnelya/treeenc.txt
[ -f "$contents" ] || fail "the reader wrote no contents file: $(cat "$work/run.log")"
iconv -f cp1251 -t utf-8 "$contents" | grep -q 'Установлено' ||
    fail "the reader did not walk the installed inside/"
echo "install test: installed layout and the link work"

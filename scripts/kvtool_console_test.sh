#!/usr/bin/env bash
# kvtool on a console with no desktop session (no XDG_RUNTIME_DIR, no display) prints exactly
# its help: no notes of the platform, and a line break at the end.
#
#   bash scripts/kvtool_console_test.sh KVTOOL
set -euo pipefail
out=$(env -u XDG_RUNTIME_DIR -u DISPLAY -u QT_QPA_PLATFORM "$1" help 2>&1; echo .)
out=${out%.}
if grep -q -v -e '^usage: kvtool' -e '^  ' <<<"${out%$'\n'}"; then
    echo "kvtool printed more than its help:" >&2
    printf '%s' "$out" >&2
    exit 1
fi
[ "${out: -1}" = $'\n' ] || { echo "kvtool help ends without a line break" >&2; exit 1; }
echo "kvtool console test: only the help, ending in a line break"

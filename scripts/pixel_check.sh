#!/usr/bin/env bash
# Renders every sample article and every reference-pair page with kvtool render into a folder,
# or compares two such folders pixel for pixel, so a refactor can show it changed no pixels.
#
#   scripts/pixel_check.sh render DIR     render all pages (whole height) into DIR
#   scripts/pixel_check.sh compare A B    fail unless every PNG of A equals its twin in B
set -euo pipefail

usage() {
    echo "usage: scripts/pixel_check.sh render DIR | compare DIR_A DIR_B" >&2
    exit 2
}

root=$(cd "$(dirname "$0")/.." && pwd)
kvtool=${KVTOOL:-$root/build/bin/kvtool}

render() {  # out-dir
    local out=$1 n=0 failed=0 page name
    [[ -x $kvtool ]] || { echo "pixel_check: build kvtool first ($kvtool)" >&2; exit 1; }
    mkdir -p "$out"
    local pages=("$root"/content/inside/*/index.htm "$root"/tests/layout/data/pairs/*)
    for page in "${pages[@]}"; do
        [[ -f $page ]] || continue
        name=${page#"$root"/}
        name=${name//\//_}
        if ! "$kvtool" render "$page" --full -o "$out/$name.png" >/dev/null 2>"$out/$name.err"; then
            echo "pixel_check: render failed: $page" >&2
            failed=1
        fi
        n=$((n + 1))
    done
    echo "pixel_check: rendered $n pages into $out"
    return $failed
}

compare_dirs() {  # dir-a dir-b
    local a=$1 b=$2 n=0 bad=0 png name diff
    for png in "$a"/*.png; do
        name=$(basename "$png")
        n=$((n + 1))
        if [[ ! -f $b/$name ]]; then
            echo "pixel_check: missing in $b: $name" >&2
            bad=$((bad + 1))
            continue
        fi
        # compare exits 1 when the images differ and 2 when sizes differ; the count is on stderr.
        diff=$(compare -metric AE "$png" "$b/$name" null: 2>&1 || true)
        if [[ $diff != 0 ]]; then
            echo "pixel_check: differs: $name ($diff)" >&2
            bad=$((bad + 1))
        fi
    done
    for png in "$b"/*.png; do
        [[ -f $a/$(basename "$png") ]] || { echo "pixel_check: extra in $b: $(basename "$png")" >&2; bad=$((bad + 1)); }
    done
    echo "pixel_check: $n pages compared, $bad differ"
    [[ $bad -eq 0 ]]
}

case ${1:-} in
    render) [[ $# -eq 2 ]] || usage; render "$2" ;;
    compare) [[ $# -eq 3 ]] || usage; compare_dirs "$2" "$3" ;;
    *) usage ;;
esac

#!/usr/bin/env bash
# Fails when a source file includes a header of a folder that stands above
# its own in the layer order that docs/ARCHITECTURE.md gives.
set -euo pipefail
src=${1:-$(cd "$(dirname "$0")/../../src" && pwd)}
order=(res io doc check find print dict tags app)

rank() {
    local i
    for i in "${!order[@]}"; do
        [ "${order[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}

bad=0
checked=0
while IFS= read -r file; do
    folder=${file#"$src"/}
    folder=${folder%%/*}
    own=$(rank "$folder")
    if [ "$own" -lt 0 ]; then
        echo "$file: folder '$folder' has no place in the layer order"
        bad=1
        continue
    fi
    while IFS= read -r target; do
        checked=$((checked + 1))
        their=$(rank "$target")
        if [ "$their" -lt 0 ]; then
            echo "$file: includes from unknown folder '$target'"
            bad=1
        elif [ "$their" -gt "$own" ]; then
            echo "$file: $folder includes $target, which stands above it"
            bad=1
        fi
    done < <(sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\)/.*|\1|p' "$file")
done < <(find "$src" -mindepth 2 \( -name '*.h' -o -name '*.cpp' \) | sort)

[ "$checked" -gt 0 ] || { echo "no includes found under $src"; exit 1; }
[ "$bad" -eq 0 ] && echo "layers: $checked includes point down or sideways within their folder"
exit "$bad"

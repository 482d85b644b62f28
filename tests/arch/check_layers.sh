#!/usr/bin/env bash
# Fails when a source file includes a header of a folder that stands above
# its own in the layer order that docs/ARCHITECTURE.md gives, or defines a
# member of a class that a header of a lower folder declares (a link
# dependency that points up, though every include points down).
set -euo pipefail
src=${1:-$(cd "$(dirname "$0")/../../src" && pwd)}
order=(res io pane doc check find print dict tags app)

declare -A rankOf=()
for i in "${!order[@]}"; do
    rankOf[${order[$i]}]=$i
done

bad=0
checked=0
while IFS= read -r file; do
    folder=${file#"$src"/}
    folder=${folder%%/*}
    own=${rankOf[$folder]:--1}
    if [ "$own" -lt 0 ]; then
        echo "$file: folder '$folder' has no place in the layer order"
        bad=1
        continue
    fi
    while IFS= read -r target; do
        checked=$((checked + 1))
        their=${rankOf[$target]:--1}
        if [ "$their" -lt 0 ]; then
            echo "$file: includes from unknown folder '$target'"
            bad=1
        elif [ "$their" -gt "$own" ]; then
            echo "$file: $folder includes $target, which stands above it"
            bad=1
        fi
    done < <(sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\)/.*|\1|p' "$file")
done < <(find "$src" -mindepth 2 \( -name '*.h' -o -name '*.cpp' \) | sort)

# The classes that headers declare with a body at the start of a line (no
# forward declarations, no nested classes), with their folder.
declare -A declaredIn=()
while read -r header name; do
    folder=${header#"$src"/}
    declaredIn[$name]=${folder%%/*}
done < <(find "$src" -mindepth 2 -name '*.h' -exec grep -H -E '^(class|struct)[[:space:]]' {} + |
    grep -v ';[[:space:]]*$' |
    sed -n -E 's/^([^:]*):(class|struct)[[:space:]]+([A-Za-z_][A-Za-z0-9_]*)([[:space:]]+final)?[[:space:]]*(:.*|\{.*)?$/\1 \3/p')

# Out-of-class definitions: a line that starts with the declaration and names
# a qualified member before its first parenthesis, `Class::member(`.
defined=0
while read -r file qualified; do
    folder=${file#"$src"/}
    folder=${folder%%/*}
    own=${rankOf[$folder]:--1}
    defined=$((defined + 1))
    IFS=: read -ra parts <<<"${qualified//::/:}"
    for name in "${parts[@]:0:${#parts[@]}-1}"; do
        home=${declaredIn[$name]:-}
        if [ -n "$home" ] && [ "${rankOf[$home]}" -lt "$own" ]; then
            echo "$file: $folder defines $qualified, a member of $name, which $home declares"
            bad=1
        fi
    done
done < <(find "$src" -mindepth 2 \( -name '*.h' -o -name '*.cpp' \) -exec grep -H -E '^[A-Za-z_~]' {} + |
    sed -n -E 's/^([^:]*):([^=(;]*[^A-Za-z0-9_:])?(([A-Za-z_][A-Za-z0-9_]*::)+~?[A-Za-z_][A-Za-z0-9_]*)[[:space:]]*\(.*/\1 \3/p')

[ "$checked" -gt 0 ] || { echo "no includes found under $src"; exit 1; }
[ "$bad" -eq 0 ] && echo "layers: $checked includes point down or sideways within their folder;" \
    "$defined member definitions are of classes of their own folder or above"
exit "$bad"

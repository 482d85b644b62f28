#!/usr/bin/env bash
# The layer check itself: it passes a tree whose includes point down and
# fails one with an include that points up.
set -euo pipefail
check="$(dirname "$0")/check_layers.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/src/doc" "$tmp/src/io" "$tmp/src/app"
printf '#include "io/A.h"\n#include "doc/B.h"\n' > "$tmp/src/doc/B.cpp"
printf '#pragma once\n' > "$tmp/src/io/A.h"
printf '#include "doc/B.h"\n' > "$tmp/src/app/C.cpp"
bash "$check" "$tmp/src" >/dev/null || { echo "FAIL: a downward tree was rejected"; exit 1; }
printf '#include "app/C.h"\n' > "$tmp/src/io/A.cpp"
if out=$(bash "$check" "$tmp/src"); then
    echo "FAIL: an upward include (io -> app) passed"; exit 1
fi
grep -q "io/A.cpp: io includes app" <<<"$out" || { echo "FAIL: unexpected report: $out"; exit 1; }
mkdir -p "$tmp/src/misc" && rm "$tmp/src/io/A.cpp" && printf '\n' > "$tmp/src/misc/D.cpp"
if bash "$check" "$tmp/src" >/dev/null; then
    echo "FAIL: a folder outside the order passed"; exit 1
fi
echo "layer check: 3 passed, 0 failed"

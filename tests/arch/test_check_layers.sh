#!/usr/bin/env bash
# The layer check itself: it passes a tree whose includes point down and
# fails one with an include that points up, or with a member of a lower
# folder's class defined in a higher folder.
set -euo pipefail
check="$(dirname "$0")/check_layers.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/src/doc" "$tmp/src/io" "$tmp/src/app"
printf '#include "io/A.h"\n#include "doc/B.h"\n\nvoid B::Run() {}\n' > "$tmp/src/doc/B.cpp"
printf '#pragma once\n\nclass B {\npublic:\n    void Run();\n};\n' > "$tmp/src/doc/B.h"
printf '#pragma once\n' > "$tmp/src/io/A.h"
printf '#include "doc/B.h"\n' > "$tmp/src/app/C.cpp"
bash "$check" "$tmp/src" >/dev/null || { echo "FAIL: a downward tree was rejected"; exit 1; }
printf '#include "app/C.h"\n' > "$tmp/src/io/A.cpp"
if out=$(bash "$check" "$tmp/src"); then
    echo "FAIL: an upward include (io -> app) passed"; exit 1
fi
grep -q "io/A.cpp: io includes app" <<<"$out" || { echo "FAIL: unexpected report: $out"; exit 1; }
rm "$tmp/src/io/A.cpp"
printf '#include "doc/B.h"\n\nint Count(const B& b) { return B::Run(b); }\n' > "$tmp/src/app/C.cpp"
bash "$check" "$tmp/src" >/dev/null || { echo "FAIL: a call of a lower class's member was rejected"; exit 1; }
for definition in 'void B::Run() {}' 'void\nB::Run() {}'; do
    printf '#include "doc/B.h"\n\n%b\n' "$definition" > "$tmp/src/app/C.cpp"
    if out=$(bash "$check" "$tmp/src"); then
        echo "FAIL: a member of a doc class defined in app passed: $definition"; exit 1
    fi
    grep -q "app/C.cpp: app defines B::Run, a member of B, which doc declares" <<<"$out" ||
        { echo "FAIL: unexpected report: $out"; exit 1; }
done
printf '#include "doc/B.h"\n' > "$tmp/src/app/C.cpp"
mkdir -p "$tmp/src/misc" && printf '\n' > "$tmp/src/misc/D.cpp"
if bash "$check" "$tmp/src" >/dev/null; then
    echo "FAIL: a folder outside the order passed"; exit 1
fi
echo "layer check: 5 passed, 0 failed"

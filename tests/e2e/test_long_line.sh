#!/usr/bin/env bash
# Opens a 10 MiB file of one line without a space in the real program, types
# a character at its end and saves with Ctrl+S: the file is what it was plus
# that character. The time limits are generous; only a hang exceeds them.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/long.html
expected=$E2E_TMP/expected.html
# (yes ends on a broken pipe once head has enough)
{ yes '<a>0123456789ABCDEFghijklmnopqrstuvwxyz</a>' | tr -d '\n' | head -c 10485760; } >"$file" || true
[ "$(stat -c %s "$file")" = 10485760 ] || fail "could not write the test file"
cp "$file" "$expected"
printf 'Z' >>"$expected"

start_app -Embedding "$file"
keys ctrl+End
type_text "Z"
keys ctrl+s

# Up to 60 s for the save to show.
for _ in $(seq 600); do
    cmp -s "$file" "$expected" && break
    sleep 0.1
done
cmp -s "$file" "$expected" || fail "the saved file is not the original plus the typed character ($(stat -c %s "$file") bytes)"
close_app
echo "passed"
